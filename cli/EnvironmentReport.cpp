#include "cli/EnvironmentReport.h"

#include "base/EnvStore.h"
#include "base/Text.h"
#include "base/Translation.h"
#include "model/ETree.h"
#include "model/EffectiveEnvironment.h"
#include "platform/Platform.h"
#include "platform/StandardError.h"
#include "system/ToolsUser.h"

#include <optional>

namespace talvoren {

namespace {

// Both scopes as a new process would be built from them. For the running
// account the logon's own variables come from this process's environment,
// as in the window; another account's user scope is read from its hive.
class TStoredScopes {
public:
    explicit TStoredScopes(platform::IPlatform& platform, const UserInfo* other = nullptr)
        : fSystem(platform)
        , fUser(platform)
    {
        fSystem.LoadFromRegistry(SystemScope());
        fSystem.AddReadOnlyVariables();
        if (other) {
            fUser.LoadFromRegistry(OtherUserScope(other->Sid));
            AddAccountVariables(fUser, *other);
        } else {
            fUser.LoadFromRegistry(CurrentUserScope());
            fUser.AddReadOnlyVariables();
        }
        fUser.SetResolvingTree(&fSystem);
    }
    TEffectiveEnvironment Environment() const { return TEffectiveEnvironment(fSystem, fUser); }

private:
    TETree fSystem;
    TETree fUser;
};

// The account with a profile that `name` ("Name" or "DOMAIN\\Name", in any
// case of its ASCII letters) stands for.
std::optional<UserInfo> findAccount(platform::IPlatform& platform, const std::u16string& name)
{
    for (auto& user : GetUsers(platform)) {
        if (equalsAsciiNoCase(name, user.Name) || equalsAsciiNoCase(name, user.Domain + u"\\" + user.Name)) {
            return user;
        }
    }
    return std::nullopt;
}

template <class Body> int guarded(Body body)
{
    try {
        return body();
    } catch (...) {
        return 1; // a scope that cannot be read, or exhausted memory
    }
}

} // namespace

int PrintEffectiveEnvironment(platform::IPlatform& platform, const std::u16string& account)
{
    return guarded([&] {
        std::optional<UserInfo> other;
        if (!account.empty()) {
            other = findAccount(platform, account);
            if (!other) {
                platform::writeStandardError(
                    formatText(tr("No account named '%s' has a profile on this computer"), {account}) + u"\n");
                return 1;
            }
            UserInfo me;
            if (GetCurrentUserInfo(platform, me) && me.Sid == other->Sid) {
                other.reset(); // the running account: as without -U
            } else if (LoadUserHive(platform, *other) != platform::error::kSuccess) {
                platform::writeStandardError(formatText(tr("Can not load profile of the user '%s'"), {account})
                                             + u"\n");
                return 1;
            }
        }
        const TStoredScopes scopes(platform, other ? &*other : nullptr);
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
