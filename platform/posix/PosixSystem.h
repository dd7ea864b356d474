#pragma once

// Process facts of the emulated machine. There are no other windows to
// tell of a setting change, so each broadcast is written as one line to the
// prefix's message log instead, where tests and users can see it.

#include "platform/Platform.h"

#include <filesystem>

namespace talvoren::platform::posix {

class TDriveMap;

class TPosixSystem : public ISystem {
public:
    TPosixSystem(std::filesystem::path messagesLog, const TDriveMap& drives);

    uintptr_t broadcastSettingChange(const std::u16string& area, uint32_t flags, uint32_t timeoutMs) override;
    bool isWow64Process(uint32_t* lastError) override;
    std::u16string executablePath() override;
    std::vector<uint16_t> executableVersion() override;
    std::vector<std::u16string> arguments(int argc, char** argv) override;
    bool writeOutput(const std::u16string& text) override;

private:
    std::filesystem::path fMessagesLog;
    const TDriveMap& fDrives;
};

} // namespace talvoren::platform::posix
