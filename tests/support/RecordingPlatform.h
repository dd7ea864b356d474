#pragma once

#include "platform/Platform.h"

#include <functional>
#include <string>
#include <vector>

namespace talvoren::test {

// The machine's platform with a shell that writes down what it is asked.
// A test may hold up the change broadcast (it runs on the broadcasting
// thread, before the machine's own broadcast).
class TRecordingPlatform : public platform::IPlatform, private platform::IShell, private platform::ISystem {
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
    std::function<void()> beforeBroadcast;

    platform::IRegistry& registry() override { return fBase.registry(); }
    platform::ISystem& system() override { return *this; }
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

    uintptr_t broadcastSettingChange(const std::u16string& area, uint32_t flags, uint32_t timeoutMs) override
    {
        if (beforeBroadcast) {
            beforeBroadcast();
        }
        return fBase.system().broadcastSettingChange(area, flags, timeoutMs);
    }
    bool isWow64Process(uint32_t* lastError) override { return fBase.system().isWow64Process(lastError); }
    std::u16string executablePath() override { return fBase.system().executablePath(); }
    std::vector<uint16_t> executableVersion() override { return fBase.system().executableVersion(); }
    std::vector<std::u16string> arguments(int argc, char** argv) override
    {
        return fBase.system().arguments(argc, argv);
    }
    bool writeOutput(const std::u16string& text) override { return fBase.system().writeOutput(text); }

    platform::IPlatform& fBase;
};

} // namespace talvoren::test
