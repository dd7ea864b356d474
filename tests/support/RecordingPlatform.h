#pragma once

#include "platform/Platform.h"

#include <string>
#include <vector>

namespace talvoren::test {

// The machine's platform with a shell that writes down what it is asked.
class TRecordingPlatform : public platform::IPlatform, private platform::IShell {
public:
    explicit TRecordingPlatform(platform::IPlatform& base)
        : fBase(base)
    {
    }
    struct TCall {
        std::u16string verb, file, parameters;
        uintptr_t owner;
    };
    std::vector<TCall> calls;
    // What every request answers; false is as when the user declines the
    // consent prompt of an elevated start.
    bool answer = false;

    platform::IRegistry& registry() override { return fBase.registry(); }
    platform::ISystem& system() override { return fBase.system(); }
    platform::IFileSystem& fileSystem() override { return fBase.fileSystem(); }
    platform::IProcessEnvironment& environment() override { return fBase.environment(); }
    platform::ILocale& locale() override { return fBase.locale(); }
    platform::IAccounts& accounts() override { return fBase.accounts(); }
    platform::IShell& shell() override { return *this; }

private:
    bool execute(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                 uintptr_t owner) override
    {
        calls.push_back({verb, file, parameters, owner});
        return answer;
    }
    void messageBox(const std::u16string&, const std::u16string&) override { }

    platform::IPlatform& fBase;
};

} // namespace talvoren::test
