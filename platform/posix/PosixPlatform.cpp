#include "platform/posix/PosixPlatform.h"

#include "platform/Utf.h"
#include "platform/posix/Hive.h"
#include "platform/posix/HiveWriter.h"
#include "platform/posix/LogonEnvironment.h"
#include "platform/posix/MachineAccounts.h"
#include "platform/posix/MachineLayout.h"
#include "platform/posix/PrefixSeeder.h"

namespace talvoren::platform {

std::unique_ptr<IPlatform> createPlatform()
{
    return std::make_unique<posix::TPosixPlatform>(posix::TPrefix::location());
}

} // namespace talvoren::platform

namespace talvoren::platform::posix {

namespace {
std::string hiveFileOf(const TDriveMap& drives, const std::filesystem::path& driveC, const std::u16string& profile,
                       const std::u16string& fallbackName)
{
    if (const auto resolved = drives.resolve(profile + u"\\" + layout::kUserHiveFile)) {
        return resolved->host;
    }
    // Not there (yet): the file a profile of that name would have; opening
    // it reports that it is missing.
    return (driveC / "Users" / toUtf8(fallbackName) / toUtf8(layout::kUserHiveFile)).string();
}
} // namespace

TPosixPlatform::TPosixPlatform(const std::filesystem::path& prefix)
    : fPrefix(prefix)
    , fDrives(prefix)
    , fRegistry(fPrefix.machineHive().string(), fDrives)
    , fSystem(fPrefix.messagesLog(), fDrives)
    , fShell(fDrives)
{
    fPrefix.ensureSeeded();

    std::shared_ptr<THive> machine;
    fRegistry.machineHive(machine); // a damaged machine hive leaves the defaults below

    TLogonFacts facts;
    facts.userName = loginAccountName();
    std::u16string sid;
    if (machine) {
        facts.computerName = readHiveText(*machine, layout::kComputerNameKey, u"ComputerName").value_or(u"");
        if (const auto account = logonAccount(*machine, fPrefix.driveC(), facts.userName)) {
            sid = account->sid;
            facts.userName = account->info.name;
            facts.userDomain = account->info.domain;
        }
    }
    if (facts.computerName.empty()) {
        facts.computerName = TSeedFacts::fromHost().computerName;
    }
    if (facts.userDomain.empty()) {
        facts.userDomain = facts.computerName;
    }
    facts.profileFolder = machine && !sid.empty() ? profileFolderOf(*machine, sid) : std::u16string();
    if (facts.profileFolder.empty()) {
        facts.profileFolder = u"C:\\Users\\" + facts.userName;
    }

    // HKEY_USERS as a logged-on machine has it: the service accounts and
    // the interactive user, in Windows' order.
    const auto attachService = [&](const char16_t* service) {
        const std::u16string folder = machine ? profileFolderOf(*machine, service) : std::u16string();
        const auto hive = folder.empty() ? std::nullopt : fDrives.resolve(folder + u"\\" + layout::kUserHiveFile);
        if (hive) {
            fRegistry.attachHive(service, hive->host);
        }
    };
    attachService(u"S-1-5-19");
    attachService(u"S-1-5-20");
    // Without an account (a damaged machine hive) the login's profile still
    // gives HKEY_CURRENT_USER, so the user's own scope goes on working.
    fRegistry.setCurrentUser(sid, hiveFileOf(fDrives, fPrefix.driveC(), facts.profileFolder, facts.userName));
    attachService(u"S-1-5-18");

    std::shared_ptr<THive> user;
    fRegistry.currentUserHive(user);
    buildLogonEnvironment(fEnvironment, machine.get(), user.get(), facts);

    std::u16string temp = fEnvironment.variable(u"TMP");
    if (temp.empty()) {
        temp = fEnvironment.variable(u"TEMP");
    }
    if (temp.empty()) {
        temp = facts.profileFolder;
    }
    if (temp.empty() || temp.back() != u'\\') {
        temp += u'\\';
    }
    fFileSystem = std::make_unique<TPosixFileSystem>(fDrives, temp);
    fAccounts = std::make_unique<TPosixAccounts>(fRegistry, sid);
}

} // namespace talvoren::platform::posix
