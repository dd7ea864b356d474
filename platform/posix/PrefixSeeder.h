#pragma once

// Builds the content of a new prefix: the folders of drive C: that a fresh
// Windows installation has, the drive links, the machine hive and one
// profile (folders and hive) per account.

#include <filesystem>
#include <string>

namespace talvoren::platform::posix {

class THive;

// Facts of the host that the new machine takes over.
struct TSeedFacts {
    std::u16string computerName;
    std::u16string userName;
    std::u16string machineSid; // S-1-5-21-a-b-c
    unsigned processors = 1;
    std::u16string processorIdentifier;
    std::u16string processorLevel;
    std::u16string processorRevision;

    static TSeedFacts fromHost();
};

class TPrefixSeeder {
public:
    explicit TPrefixSeeder(std::filesystem::path root);

    // Fills the (empty) folder `root` with a whole machine.
    void seed(const TSeedFacts& facts);

    // Adds a user account and its profile (folders, hive, profile list
    // entry) to a machine. Returns the new account's SID.
    static std::u16string addUser(THive& machine, const std::filesystem::path& driveC, const std::u16string& name,
                                  const std::u16string& domain, const std::u16string& sid);

private:
    std::filesystem::path fRoot;
};

// The Unix login as a Windows account name ("user" when there is none).
std::u16string loginAccountName();

} // namespace talvoren::platform::posix
