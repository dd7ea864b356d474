#include "cli/EnvironmentReport.h"

#include "base/EnvStore.h"
#include "model/ETree.h"
#include "model/EffectiveEnvironment.h"
#include "platform/Platform.h"

#include <optional>

namespace talvoren {

namespace {

// Both scopes as a new process would be built from them; the logon's own
// variables come from this process's environment, as in the window.
class TStoredScopes {
public:
    explicit TStoredScopes(platform::IPlatform& platform)
        : fSystem(platform)
        , fUser(platform)
    {
        fSystem.LoadFromRegistry(SystemScope());
        fUser.LoadFromRegistry(CurrentUserScope());
        fSystem.AddReadOnlyVariables();
        fUser.AddReadOnlyVariables();
        fUser.SetResolvingTree(&fSystem);
    }
    TEffectiveEnvironment Environment() const { return TEffectiveEnvironment(fSystem, fUser); }

private:
    TETree fSystem;
    TETree fUser;
};

template <class Body> int guarded(Body body)
{
    try {
        return body();
    } catch (...) {
        return 1; // a scope that cannot be read, or exhausted memory
    }
}

} // namespace

int PrintEffectiveEnvironment(platform::IPlatform& platform)
{
    return guarded([&] {
        const TStoredScopes scopes(platform);
        return platform.system().writeOutput(scopes.Environment().ToText()) ? 0 : 1;
    });
}

int PrintProgramsFor(platform::IPlatform& platform, const std::u16string& command)
{
    return guarded([&] {
        const TStoredScopes scopes(platform);
        const TEffectiveEnvironment environment = scopes.Environment();
        const auto hits = FindPrograms(environment, command, platform.fileSystem());
        if (hits.empty()) {
            return 1;
        }
        std::u16string text;
        for (const auto& hit : hits) {
            text += hit.file + u'\n';
        }
        return platform.system().writeOutput(text) ? 0 : 1;
    });
}

} // namespace talvoren
