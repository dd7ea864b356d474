#pragma once

// The folder that holds the emulated machine: its drive C:, its drive
// links, its registry hives and its message log. A missing prefix is
// seeded on first use, as a fresh Windows installation; an existing one is
// never changed by seeding.

#include <filesystem>

namespace talvoren::platform::posix {

class TPrefix {
public:
    // TALVOREN_PREFIX, else $XDG_DATA_HOME/talvoren, else ~/.local/share/talvoren.
    static std::filesystem::path location();

    explicit TPrefix(std::filesystem::path root);

    // Seeds the prefix when it does not exist yet (or is an empty folder).
    // The new prefix is built beside it and renamed into place, so that a
    // second process starting at the same moment sees all of it or none.
    // Throws std::runtime_error when the folder exists but holds no machine.
    void ensureSeeded() const;

    const std::filesystem::path& root() const { return fRoot; }
    std::filesystem::path machineHive() const;
    std::filesystem::path driveC() const;
    std::filesystem::path messagesLog() const;

private:
    std::filesystem::path fRoot;
};

} // namespace talvoren::platform::posix
