#include "platform/posix/PrefixSeeder.h"

#include "platform/Utf.h"
#include "platform/posix/Hive.h"
#include "platform/posix/HiveWriter.h"
#include "platform/posix/MachineLayout.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <pwd.h>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace talvoren::platform::posix {

namespace fs = std::filesystem;

namespace {
constexpr char16_t kNtAuthority[] = u"NT AUTHORITY";
constexpr uint32_t kSidTypeUser = 1;
constexpr uint32_t kSidTypeAlias = 4;
constexpr uint32_t kSidTypeWellKnownGroup = 5;

// Folders of a fresh installation, relative to drive C:.
const char* const kFolders[] = {
    "Windows/System32/config/systemprofile",
    "Windows/System32/Drivers/DriverData",
    "Windows/System32/Drivers/etc",
    "Windows/System32/OpenSSH",
    "Windows/System32/Wbem",
    "Windows/System32/WindowsPowerShell/v1.0/Modules",
    "Windows/ServiceProfiles/LocalService",
    "Windows/ServiceProfiles/NetworkService",
    "Windows/SysWOW64",
    "Windows/Temp",
    "Program Files/Common Files",
    "Program Files/WindowsPowerShell/Modules",
    "Program Files (x86)/Common Files",
    "ProgramData",
    "Users/Default",
    "Users/Public/Documents",
    "Users/Public/Desktop",
};

// Empty stand-ins for the programs the seeded variables name.
const char* const kPlaceholderFiles[] = {
    "Windows/explorer.exe",           "Windows/System32/cmd.exe",
    "Windows/System32/notepad.exe",   "Windows/System32/reg.exe",
    "Windows/System32/Wbem/WMIC.exe", "Windows/System32/WindowsPowerShell/v1.0/powershell.exe",
};

// Folders of every user profile, relative to the profile folder.
const char* const kProfileFolders[] = {
    "AppData/Local/Microsoft/WindowsApps", "AppData/Local/Temp", "AppData/Roaming", "Desktop", "Documents", "Downloads",
};

void makeFolder(const fs::path& path)
{
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) {
        throw std::runtime_error("Cannot create the folder " + path.string() + ": " + ec.message());
    }
}

void makeFile(const fs::path& path)
{
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        throw std::runtime_error("Cannot create the file " + path.string());
    }
}

// A new hive file at `file`, filled by `fill`, put in place only when whole.
void makeHive(const fs::path& file, const std::function<void(THiveWriter&)>& fill)
{
    const fs::path temp = file.string() + ".new-" + std::to_string(getpid());
    std::error_code ec;
    fs::remove(temp, ec);
    {
        std::shared_ptr<THive> hive;
        const uint32_t rc = THive::create(temp.string(), hive);
        if (rc != 0) {
            throw std::runtime_error("Cannot create the hive " + temp.string() + " (error " + std::to_string(rc) + ")");
        }
        THiveWriter writer(*hive);
        try {
            hive->begin();
            fill(writer);
            if (hive->commit() != 0) {
                throw std::runtime_error("Cannot write the hive " + temp.string());
            }
        } catch (...) {
            hive->rollback();
            hive.reset();
            fs::remove(temp, ec);
            throw;
        }
    }
    // link() never replaces: a hive someone else put there first stays.
    const int linked = link(temp.c_str(), file.c_str());
    const int linkError = errno;
    fs::remove(temp, ec);
    if (linked != 0 && linkError != EEXIST) {
        throw std::runtime_error("Cannot put the hive " + file.string() + " in place");
    }
}

void fillUserEnvironment(THiveWriter& user)
{
    user.expandString(layout::kUserEnvironmentKey, u"Path", u"%USERPROFILE%\\AppData\\Local\\Microsoft\\WindowsApps;");
    user.expandString(layout::kUserEnvironmentKey, u"TEMP", u"%USERPROFILE%\\AppData\\Local\\Temp");
    user.expandString(layout::kUserEnvironmentKey, u"TMP", u"%USERPROFILE%\\AppData\\Local\\Temp");
    const std::u16string intl = u"Control Panel\\International";
    user.string(intl, u"Locale", u"00000409");
    user.string(intl, u"LocaleName", u"en-US");
    user.string(intl, u"sDecimal", u".");
    user.string(intl, u"sList", u",");
    user.string(intl, u"sShortDate", u"M/d/yyyy");
    user.string(intl, u"sTimeFormat", u"h:mm:ss tt");
    user.key(u"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

void makeProfile(const fs::path& folder)
{
    for (const char* sub : kProfileFolders) {
        makeFolder(folder / sub);
    }
    makeHive(folder / toUtf8(layout::kUserHiveFile), fillUserEnvironment);
}

void addAccount(THiveWriter& machine, const std::u16string& sid, const std::u16string& name,
                const std::u16string& domain, uint32_t sidType)
{
    const std::u16string key = std::u16string(layout::kAccountsKey) + u"\\" + sid;
    machine.string(key, u"Name", name);
    machine.string(key, u"Domain", domain);
    machine.dword(key, u"SidType", sidType);
}

void addProfile(THiveWriter& machine, const std::u16string& sid, const std::u16string& imagePath, uint32_t flags)
{
    const std::u16string key = std::u16string(layout::kProfileListKey) + u"\\" + sid;
    machine.expandString(key, u"ProfileImagePath", imagePath);
    machine.dword(key, u"Flags", flags);
    machine.dword(key, u"State", 0);
}

void fillMachine(THiveWriter& m, const TSeedFacts& facts)
{
    const std::u16string env = layout::kSystemEnvironmentKey;
    m.expandString(env, u"ComSpec", u"%SystemRoot%\\system32\\cmd.exe");
    m.expandString(env, u"DriverData", u"C:\\Windows\\System32\\Drivers\\DriverData");
    m.string(env, u"NUMBER_OF_PROCESSORS", fromUtf8(std::to_string(facts.processors)));
    m.string(env, u"OS", u"Windows_NT");
    m.expandString(env, u"Path",
                   u"%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem;"
                   u"%SYSTEMROOT%\\System32\\WindowsPowerShell\\v1.0\\;%SYSTEMROOT%\\System32\\OpenSSH\\");
    m.string(env, u"PATHEXT", u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC");
    m.string(env, u"PROCESSOR_ARCHITECTURE", u"AMD64");
    m.string(env, u"PROCESSOR_IDENTIFIER", facts.processorIdentifier);
    m.string(env, u"PROCESSOR_LEVEL", facts.processorLevel);
    m.string(env, u"PROCESSOR_REVISION", facts.processorRevision);
    m.expandString(
        env, u"PSModulePath",
        u"%ProgramFiles%\\WindowsPowerShell\\Modules;%SystemRoot%\\system32\\WindowsPowerShell\\v1.0\\Modules");
    m.expandString(env, u"TEMP", u"%SystemRoot%\\TEMP");
    m.expandString(env, u"TMP", u"%SystemRoot%\\TEMP");
    m.string(env, u"USERNAME", u"SYSTEM");
    m.expandString(env, u"windir", u"%SystemRoot%");

    const std::u16string session = u"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    m.multiString(session, u"BootExecute", {u"autocheck autochk *"});
    m.dword(session, u"CriticalSectionTimeout", 2592000);
    m.dword(session, u"ProtectionMode", 1);
    m.multiString(session, u"ExcludeFromKnownDLLs", {});

    m.string(layout::kComputerNameKey, u"ComputerName", facts.computerName);
    m.string(u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName", u"ComputerName",
             facts.computerName);

    const std::u16string nt = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    m.string(nt, u"ProductName", u"Windows 10 Pro");
    m.string(nt, u"EditionID", u"Professional");
    m.string(nt, u"DisplayVersion", u"22H2");
    m.string(nt, u"CurrentBuild", u"19045");
    m.string(nt, u"CurrentVersion", u"6.3");
    m.dword(nt, u"CurrentMajorVersionNumber", 10);
    m.dword(nt, u"CurrentMinorVersionNumber", 0);
    m.string(nt, u"SystemRoot", layout::kSystemRoot);
    m.string(nt, u"RegisteredOwner", facts.userName);

    const std::u16string cv = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    m.string(cv, u"ProgramFilesDir", u"C:\\Program Files");
    m.string(cv, u"ProgramFilesDir (x86)", u"C:\\Program Files (x86)");
    m.string(cv, u"ProgramW6432Dir", u"C:\\Program Files");
    m.string(cv, u"CommonFilesDir", u"C:\\Program Files\\Common Files");
    m.string(cv, u"CommonFilesDir (x86)", u"C:\\Program Files (x86)\\Common Files");
    m.string(cv, u"CommonW6432Dir", u"C:\\Program Files\\Common Files");
    m.expandString(cv, u"ProgramFilesPath", u"%ProgramFiles%");

    const std::u16string profiles = layout::kProfileListKey;
    m.expandString(profiles, u"Default", u"%SystemDrive%\\Users\\Default");
    m.expandString(profiles, u"ProfilesDirectory", u"%SystemDrive%\\Users");
    m.expandString(profiles, u"ProgramData", u"%SystemDrive%\\ProgramData");
    m.expandString(profiles, u"Public", u"%SystemDrive%\\Users\\Public");
    addProfile(m, u"S-1-5-18", u"%systemroot%\\system32\\config\\systemprofile", 12);
    addProfile(m, u"S-1-5-19", u"%systemroot%\\ServiceProfiles\\LocalService", 0);
    addProfile(m, u"S-1-5-20", u"%systemroot%\\ServiceProfiles\\NetworkService", 0);

    m.string(layout::kAccountsKey, u"MachineSid", facts.machineSid);
    addAccount(m, u"S-1-1-0", u"Everyone", u"", kSidTypeWellKnownGroup);
    addAccount(m, u"S-1-5-18", u"SYSTEM", kNtAuthority, kSidTypeWellKnownGroup);
    addAccount(m, u"S-1-5-19", u"LOCAL SERVICE", kNtAuthority, kSidTypeWellKnownGroup);
    addAccount(m, u"S-1-5-20", u"NETWORK SERVICE", kNtAuthority, kSidTypeWellKnownGroup);
    addAccount(m, u"S-1-5-32-544", u"Administrators", u"BUILTIN", kSidTypeAlias);
    addAccount(m, u"S-1-5-32-545", u"Users", u"BUILTIN", kSidTypeAlias);
    addAccount(m, facts.machineSid + u"-500", u"Administrator", facts.computerName, kSidTypeUser);
    addAccount(m, facts.machineSid + u"-501", u"Guest", facts.computerName, kSidTypeUser);
    addAccount(m, facts.machineSid + u"-503", u"DefaultAccount", facts.computerName, kSidTypeUser);
    addAccount(m, facts.machineSid + u"-504", u"WDAGUtilityAccount", facts.computerName, kSidTypeUser);
}

std::map<std::string, std::string> cpuInfo()
{
    std::map<std::string, std::string> info;
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line) && !line.empty()) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        auto key = line.substr(0, colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) {
            key.pop_back();
        }
        const auto value = colon + 2 <= line.size() ? line.substr(colon + 2) : std::string();
        info.emplace(key, value);
    }
    return info;
}

unsigned number(const std::map<std::string, std::string>& info, const char* key, unsigned fallback)
{
    const auto it = info.find(key);
    if (it == info.end()) {
        return fallback;
    }
    try {
        return static_cast<unsigned>(std::stoul(it->second));
    } catch (...) {
        return fallback;
    }
}

std::u16string computerNameFromHost()
{
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == 0) {
        return u"TALVOREN-PC";
    }
    std::u16string name;
    for (const char* p = host; *p && *p != '.' && name.size() < 15; ++p) {
        const char c = *p;
        if ((c >= 'a' && c <= 'z')) {
            name += static_cast<char16_t>(c - 32);
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-') {
            name += static_cast<char16_t>(c);
        } else {
            name += u'-';
        }
    }
    return name.empty() ? u"TALVOREN-PC" : name;
}
} // namespace

std::u16string loginAccountName()
{
    const passwd* pw = getpwuid(getuid());
    std::u16string name = pw && pw->pw_name && pw->pw_name[0] ? fromUtf8(pw->pw_name) : u"user";
    // Characters that Windows does not allow in account names.
    for (auto& c : name) {
        if (c < 32 || std::u16string_view(u"\"/\\[]:;|=,+*?<>@").find(c) != std::u16string_view::npos) {
            c = u'_';
        }
    }
    if (name.size() > 20) {
        name.resize(20);
    }
    return name;
}

TSeedFacts TSeedFacts::fromHost()
{
    TSeedFacts facts;
    facts.computerName = computerNameFromHost();
    facts.userName = loginAccountName();
    std::random_device random;
    std::uniform_int_distribution<uint32_t> part(100000000u, 4000000000u);
    facts.machineSid = u"S-1-5-21-" + fromUtf8(std::to_string(part(random))) + u"-"
        + fromUtf8(std::to_string(part(random))) + u"-" + fromUtf8(std::to_string(part(random)));
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    facts.processors = processors > 0 ? static_cast<unsigned>(processors) : 1;

    const auto info = cpuInfo();
    const auto vendorIt = info.find("vendor_id");
    const std::string vendor = vendorIt != info.end() ? vendorIt->second : "GenuineIntel";
    const unsigned family = number(info, "cpu family", 6);
    const unsigned model = number(info, "model", 158);
    const unsigned stepping = number(info, "stepping", 10);
    const std::string prefix = vendor == "AuthenticAMD" ? "AMD64" : "Intel64";
    facts.processorIdentifier
        = fromUtf8(prefix + " Family " + std::to_string(family) + " Model " + std::to_string(model) + " Stepping "
                   + std::to_string(stepping) + ", " + vendor);
    facts.processorLevel = fromUtf8(std::to_string(family));
    char revision[16];
    snprintf(revision, sizeof revision, "%02x%02x", model & 0xFF, stepping & 0xFF);
    facts.processorRevision = fromUtf8(revision);
    return facts;
}

TPrefixSeeder::TPrefixSeeder(fs::path root)
    : fRoot(std::move(root))
{
}

std::u16string TPrefixSeeder::addUser(THive& machine, const fs::path& driveC, const std::u16string& name,
                                      const std::u16string& domain, const std::u16string& sid)
{
    makeProfile(driveC / "Users" / toUtf8(name));
    THiveWriter writer(machine);
    addAccount(writer, sid, name, domain, kSidTypeUser);
    addProfile(writer, sid, u"%SystemDrive%\\Users\\" + name, 0);
    return sid;
}

void TPrefixSeeder::seed(const TSeedFacts& facts)
{
    const fs::path driveC = fRoot / layout::kDriveC;
    for (const char* folder : kFolders) {
        makeFolder(driveC / folder);
    }
    for (const char* file : kPlaceholderFiles) {
        makeFile(driveC / file);
    }
    // Drive letters as Wine keeps them: C: the prefix's drive, Z: the host.
    const fs::path devices = fRoot / layout::kDosDevices;
    makeFolder(devices);
    std::error_code ec;
    fs::create_directory_symlink("../drive_c", devices / "c:", ec);
    if (!ec) {
        fs::create_directory_symlink("/", devices / "z:", ec);
    }
    if (ec) {
        throw std::runtime_error("Cannot create the drive links in " + devices.string() + ": " + ec.message());
    }

    makeProfile(driveC / "Windows/System32/config/systemprofile");
    makeProfile(driveC / "Windows/ServiceProfiles/LocalService");
    makeProfile(driveC / "Windows/ServiceProfiles/NetworkService");

    makeHive(fRoot / layout::kMachineHiveFile, [&](THiveWriter& writer) { fillMachine(writer, facts); });
    std::shared_ptr<THive> machine;
    if (THive::open((fRoot / layout::kMachineHiveFile).string(), machine) != 0) {
        throw std::runtime_error("Cannot open the new machine hive in " + fRoot.string());
    }
    machine->begin();
    try {
        addUser(*machine, driveC, facts.userName, facts.computerName, facts.machineSid + u"-1001");
    } catch (...) {
        machine->rollback();
        throw;
    }
    if (machine->commit() != 0) {
        throw std::runtime_error("Cannot write the new machine hive in " + fRoot.string());
    }
}

} // namespace talvoren::platform::posix
