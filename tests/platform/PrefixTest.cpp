// A new emulated machine as seeding makes it, and what a process on it
// sees: the registry content, folders, accounts and the environment.

#include "platform/posix/Prefix.h"

#include "base/EnvStore.h"
#include "platform/HostEnvironment.h"
#include "platform/Utf.h"
#include "platform/posix/MachineLayout.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PrefixSeeder.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace talvoren;
using namespace talvoren::platform;
using namespace talvoren::platform::posix;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::u16string> split(const std::u16string& list)
{
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(u';', start), list.size());
        if (end > start) {
            parts.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

class PrefixTest : public ::testing::Test {
protected:
    IPlatform& platform() { return fMachine.platform(); }
    RegValue raw(RootKey root, const std::u16string& key, const std::u16string& name)
    {
        std::unique_ptr<IRegistryKey> handle;
        RegValue value;
        EXPECT_EQ(platform().registry().openKey(root, key, access::kRead, false, handle), error::kSuccess);
        if (handle) {
            EXPECT_EQ(handle->queryValue(name, value), error::kSuccess) << test::utf8(name);
        }
        return value;
    }
    std::u16string login() { return loginAccountName(); }

    test::TestMachine fMachine;
};

TEST_F(PrefixTest, TheSystemScopeHoldsTheVariablesOfAFreshWindows)
{
    struct Expected {
        const char16_t* name;
        uint32_t type;
        const char16_t* data; // nullptr: any non-empty text
    };
    const Expected expected[] = {
        {u"ComSpec", regtype::kExpandSz, u"%SystemRoot%\\system32\\cmd.exe"},
        {u"DriverData", regtype::kExpandSz, u"C:\\Windows\\System32\\Drivers\\DriverData"},
        {u"NUMBER_OF_PROCESSORS", regtype::kSz, nullptr},
        {u"OS", regtype::kSz, u"Windows_NT"},
        {u"Path", regtype::kExpandSz, nullptr},
        {u"PATHEXT", regtype::kSz, u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
        {u"PROCESSOR_ARCHITECTURE", regtype::kSz, u"AMD64"},
        {u"PROCESSOR_IDENTIFIER", regtype::kSz, nullptr},
        {u"PROCESSOR_LEVEL", regtype::kSz, nullptr},
        {u"PROCESSOR_REVISION", regtype::kSz, nullptr},
        {u"PSModulePath", regtype::kExpandSz, nullptr},
        {u"TEMP", regtype::kExpandSz, u"%SystemRoot%\\TEMP"},
        {u"TMP", regtype::kExpandSz, u"%SystemRoot%\\TEMP"},
        {u"USERNAME", regtype::kSz, u"SYSTEM"},
        {u"windir", regtype::kExpandSz, u"%SystemRoot%"},
    };
    auto store = OpenScopeForReading(platform(), SystemScope());
    std::vector<std::u16string> names;
    for (const auto& e : expected) {
        SCOPED_TRACE(test::utf8(e.name));
        names.push_back(e.name);
        EXPECT_EQ(store->GetDataType(e.name), e.type);
        const std::u16string value = store->ReadString(e.name);
        if (e.data) {
            EXPECT_EQ(value, e.data);
        } else {
            EXPECT_FALSE(value.empty());
        }
    }
    EXPECT_EQ(store->GetValueNames(), names);
    EXPECT_TRUE(store->ReadString(u"Path").starts_with(u"%SystemRoot%\\system32;%SystemRoot%;"));
    EXPECT_EQ(std::stoi(test::utf8(store->ReadString(u"NUMBER_OF_PROCESSORS"))), sysconf(_SC_NPROCESSORS_ONLN));
    // Read back as the raw bytes they were written as.
    EXPECT_EQ(raw(RootKey::LocalMachine, layout::kSystemEnvironmentKey, u"OS").data, EncodeRegString(u"Windows_NT"));
}

TEST_F(PrefixTest, TheUserScopeAndItsFoldersExist)
{
    auto store = OpenScopeForReading(platform(), CurrentUserScope());
    EXPECT_EQ(store->GetValueNames(), (std::vector<std::u16string>{u"Path", u"TEMP", u"TMP"}));
    EXPECT_EQ(store->GetDataType(u"Path"), regtype::kExpandSz);
    EXPECT_EQ(store->ReadString(u"Path"), u"%USERPROFILE%\\AppData\\Local\\Microsoft\\WindowsApps;");
    EXPECT_EQ(store->GetDataType(u"TMP"), regtype::kExpandSz);
    EXPECT_EQ(store->ReadString(u"TEMP"), u"%USERPROFILE%\\AppData\\Local\\Temp");

    // Every folder the seeded variables name is there, as are the programs.
    auto& env = platform().environment();
    auto& files = platform().fileSystem();
    std::vector<std::u16string> folders = split(env.variable(u"Path"));
    for (const auto& more : split(env.variable(u"PSModulePath"))) {
        folders.push_back(more);
    }
    for (const char16_t* name :
         {u"TEMP", u"TMP", u"windir", u"DriverData", u"ProgramFiles", u"ProgramFiles(x86)", u"ProgramData", u"PUBLIC",
          u"APPDATA", u"LOCALAPPDATA", u"USERPROFILE", u"CommonProgramFiles", u"ALLUSERSPROFILE"}) {
        folders.push_back(env.variable(name));
    }
    for (const auto& folder : folders) {
        EXPECT_EQ(files.attributes(folder) & attr::kDirectory, attr::kDirectory) << test::utf8(folder);
    }
    EXPECT_EQ(files.attributes(env.variable(u"ComSpec")), attr::kArchive);
    EXPECT_EQ(files.attributes(env.expand(u"%SystemRoot%\\System32\\WindowsPowerShell\\v1.0\\powershell.exe")),
              attr::kArchive);
    EXPECT_EQ(files.tempFolder(), env.variable(u"TMP") + u"\\");
    EXPECT_EQ(files.attributes(files.tempFolder()), attr::kDirectory);
}

TEST_F(PrefixTest, TheAccountIsTheLoginWithAProfileAndAUserSid)
{
    auto& accounts = platform().accounts();
    const std::u16string sid = accounts.currentUserSid();
    EXPECT_TRUE(std::regex_match(test::utf8(sid), std::regex(R"(S-1-5-21-\d+-\d+-\d+-1001)"))) << test::utf8(sid);
    AccountInfo info;
    ASSERT_TRUE(accounts.lookupSid(sid, info));
    EXPECT_EQ(info.name, login());
    EXPECT_EQ(info.domain, platform().environment().variable(u"COMPUTERNAME"));
    EXPECT_EQ(info.sidType, 1u);
    EXPECT_LE(info.domain.size(), 15u);

    ASSERT_TRUE(accounts.lookupSid(u"S-1-5-18", info));
    EXPECT_EQ(info.name, u"SYSTEM");
    EXPECT_EQ(info.domain, u"NT AUTHORITY");
    EXPECT_EQ(info.sidType, 5u);
    EXPECT_FALSE(accounts.lookupSid(u"S-1-5-21-1-2-3-4444", info));
    EXPECT_FALSE(accounts.lookupSid(u"", info));

    const std::u16string profiles = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
    const RegValue image = raw(RootKey::LocalMachine, profiles + sid, u"ProfileImagePath");
    EXPECT_EQ(image.type, regtype::kExpandSz);
    EXPECT_EQ(DecodeRegString(image.data), u"%SystemDrive%\\Users\\" + login());
    EXPECT_EQ(DecodeRegString(raw(RootKey::LocalMachine, profiles + u"S-1-5-18", u"ProfileImagePath").data),
              u"%systemroot%\\system32\\config\\systemprofile");
    // The profile's hive is HKEY_CURRENT_USER, also under its SID.
    OpenScopeForWriting(platform(), CurrentUserScope())->WriteString(u"Seen", u"both");
    EXPECT_EQ(OpenScopeForReading(platform(), OtherUserScope(sid))->ReadString(u"seen"), u"both");
    EXPECT_TRUE(fs::exists(fMachine.prefix() / "drive_c/Users" / test::utf8(login()) / "ntuser.dat"));
    EXPECT_TRUE(accounts.enablePrivilege(u"SeRestorePrivilege"));
}

TEST_F(PrefixTest, TheProcessEnvironmentIsThatOfALoggedOnUser)
{
    auto& env = platform().environment();
    const std::u16string profile = u"C:\\Users\\" + login();
    const std::u16string computer = env.variable(u"COMPUTERNAME");
    ASSERT_FALSE(computer.empty());
    const std::pair<const char16_t*, std::u16string> expected[] = {
        {u"SystemRoot", u"C:\\Windows"},
        {u"windir", u"C:\\Windows"},
        {u"SystemDrive", u"C:"},
        {u"ComSpec", u"C:\\Windows\\system32\\cmd.exe"},
        {u"ALLUSERSPROFILE", u"C:\\ProgramData"},
        {u"ProgramFiles(x86)", u"C:\\Program Files (x86)"},
        {u"CommonProgramW6432", u"C:\\Program Files\\Common Files"},
        {u"PUBLIC", u"C:\\Users\\Public"},
        {u"USERPROFILE", profile},
        {u"APPDATA", profile + u"\\AppData\\Roaming"},
        {u"LOCALAPPDATA", profile + u"\\AppData\\Local"},
        {u"HOMEDRIVE", u"C:"},
        {u"HOMEPATH", u"\\Users\\" + login()},
        {u"LOGONSERVER", u"\\\\" + computer},
        {u"SESSIONNAME", u"Console"},
        {u"USERDOMAIN", computer},
        {u"USERNAME", login()}, // the logon's, not the system scope's SYSTEM
        {u"TEMP", profile + u"\\AppData\\Local\\Temp"},
        {u"PSModulePath",
         u"C:\\Program Files\\WindowsPowerShell\\Modules;"
         u"C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\Modules"},
        {u"Path",
         u"C:\\Windows\\system32;C:\\Windows;C:\\Windows\\System32\\Wbem;"
         u"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\;C:\\Windows\\System32\\OpenSSH\\;"
             + profile + u"\\AppData\\Local\\Microsoft\\WindowsApps;"},
    };
    for (const auto& [name, value] : expected) {
        EXPECT_EQ(env.variable(name), value) << test::utf8(name);
    }
    EXPECT_EQ(env.variable(u"CLIENTNAME"), u"");
    EXPECT_EQ(env.variable(u"WINDIR"), u"C:\\Windows");
    EXPECT_EQ(env.variable(u"TALVOREN_PREFIX"), u"") << "the host's environment leaked in";
}

TEST_F(PrefixTest, ExpandFollowsExpandEnvironmentStrings)
{
    auto& env = platform().environment();
    EXPECT_EQ(env.expand(u"%windir%\\x;%SYSTEMDRIVE%"), u"C:\\Windows\\x;C:");
    EXPECT_EQ(env.expand(u"%NOT_DEFINED%\\bin"), u"%NOT_DEFINED%\\bin");
    EXPECT_EQ(env.expand(u"100% sure"), u"100% sure");
    EXPECT_EQ(env.expand(u"%%"), u"%%");
    EXPECT_EQ(env.expand(u"%"), u"%");
    // The closing % of an unknown name may open the next reference.
    EXPECT_EQ(env.expand(u"%NOPE%windir%"), u"%NOPEC:\\Windows");
    EXPECT_EQ(env.expand(u"a%windir"), u"a%windir");
}

TEST_F(PrefixTest, TheEnvironmentIsFixedWhenThePlatformIsMade)
{
    auto user = OpenScopeForWriting(platform(), CurrentUserScope());
    user->WriteExpandString(u"MyTools", u"%SystemRoot%\\tools");
    user->WriteString(u"TEMP", u"D:\\t");
    user->CloseKey();
    EXPECT_EQ(platform().environment().variable(u"MyTools"), u"");
    auto later = createPlatform();
    EXPECT_EQ(later->environment().variable(u"mytools"), u"C:\\Windows\\tools");
    EXPECT_EQ(later->environment().variable(u"TEMP"), u"D:\\t");
    EXPECT_EQ(later->fileSystem().tempFolder(), u"C:\\Users\\" + login() + u"\\AppData\\Local\\Temp\\") << "TMP";
}

TEST_F(PrefixTest, AnExistingPrefixIsNeverReseeded)
{
    OpenScopeForWriting(platform(), SystemScope())->WriteString(u"OS", u"Changed");
    fs::remove_all(fMachine.prefix() / "drive_c/Program Files (x86)");
    const std::string machine = readFile(fMachine.prefix() / layout::kMachineHiveFile);
    const std::u16string sid = platform().accounts().currentUserSid();

    auto again = createPlatform();
    EXPECT_EQ(OpenScopeForReading(*again, SystemScope())->ReadString(u"OS"), u"Changed");
    EXPECT_FALSE(fs::exists(fMachine.prefix() / "drive_c/Program Files (x86)"));
    EXPECT_EQ(readFile(fMachine.prefix() / layout::kMachineHiveFile), machine);
    EXPECT_EQ(again->accounts().currentUserSid(), sid);
}

TEST(PrefixLocationTest, AFolderThatIsNoPrefixIsRefusedAndLeftAlone)
{
    test::TempDir dir;
    const fs::path notPrefix = dir.path() / "documents";
    fs::create_directories(notPrefix);
    std::ofstream(notPrefix / "letter.txt") << "keep me";
    EXPECT_THROW(TPosixPlatform platform(notPrefix), std::runtime_error);
    EXPECT_EQ(readFile(notPrefix / "letter.txt"), "keep me");
    EXPECT_EQ(std::distance(fs::directory_iterator(notPrefix), fs::directory_iterator()), 1);

    // An empty folder (as mktemp -d makes) becomes a machine.
    const fs::path empty = dir.path() / "empty";
    fs::create_directories(empty);
    TPosixPlatform platform(empty);
    EXPECT_TRUE(fs::exists(empty / layout::kMachineHiveFile));
}

TEST(PrefixLocationTest, ThePrefixComesFromTheHostEnvironment)
{
    const auto keep = [](const char* name) {
        return hostVariable(name);
    };
    const auto prefix = keep("TALVOREN_PREFIX"), data = keep("XDG_DATA_HOME"), home = keep("HOME");
    test::setHostVariable("TALVOREN_PREFIX", "/srv/machine");
    EXPECT_EQ(TPrefix::location(), fs::path("/srv/machine"));
    test::setHostVariable("TALVOREN_PREFIX", std::nullopt);
    test::setHostVariable("XDG_DATA_HOME", "/data");
    EXPECT_EQ(TPrefix::location(), fs::path("/data/talvoren"));
    test::setHostVariable("XDG_DATA_HOME", std::nullopt);
    test::setHostVariable("HOME", "/home/someone");
    EXPECT_EQ(TPrefix::location(), fs::path("/home/someone/.local/share/talvoren"));
    test::setHostVariable("TALVOREN_PREFIX", prefix);
    test::setHostVariable("XDG_DATA_HOME", data);
    test::setHostVariable("HOME", home);
}

TEST(PrefixLocationTest, ProcessesStartingTogetherShareOneWholeMachine)
{
    test::TempDir dir;
    const fs::path prefix = dir.path() / "shared";
    constexpr int kProcesses = 4;
    int results[kProcesses][2];
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        ASSERT_EQ(pipe(results[i]), 0);
        const pid_t child = fork();
        if (child == 0) {
            try {
                TPosixPlatform platform(prefix);
                const std::string sid = toUtf8(platform.accounts().currentUserSid());
                (void)!write(results[i][1], sid.data(), sid.size());
                _exit(0);
            } catch (...) {
                _exit(1);
            }
        }
        close(results[i][1]);
        children.push_back(child);
    }
    std::set<std::string> sids;
    for (int i = 0; i < kProcesses; ++i) {
        int status = 0;
        waitpid(children[i], &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "process " << i;
        char buffer[128] = {};
        (void)!read(results[i][0], buffer, sizeof buffer - 1);
        close(results[i][0]);
        sids.insert(buffer);
    }
    EXPECT_EQ(sids.size(), 1u) << "the processes saw different machines";
    EXPECT_FALSE(sids.begin()->empty());
    // Only the prefix is left: the losers' half-built copies are gone.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(PrefixTest, BroadcastsAreLoggedInThePrefix)
{
    EXPECT_EQ(BroadcastEnvironmentChange(platform().system(), 5000), 1u);
    EXPECT_EQ(platform().system().broadcastSettingChange(u"Policy", 0, 10), 1u);
    const std::string log = readFile(fMachine.prefix() / layout::kMessagesLog);
    EXPECT_TRUE(std::regex_match(
        log, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ WM_SETTINGCHANGE Environment flags=2 timeout=5000
\S+ WM_SETTINGCHANGE Policy flags=0 timeout=10
)"))) << log;
}

TEST_F(PrefixTest, ProcessFactsAndTextComparison)
{
    auto& system = platform().system();
    const std::u16string exe = system.executablePath();
    EXPECT_TRUE(exe.starts_with(u"Z:\\")) << test::utf8(exe);
    EXPECT_TRUE(exe.ends_with(u"\\test_posix_prefix")) << test::utf8(exe);
    EXPECT_EQ(platform().fileSystem().attributes(exe), attr::kArchive);
    EXPECT_FALSE(system.isWow64Process());
    char arg0[] = "prog", arg1[] = "-M", arg2[] = "caf\xC3\xA9";
    char* argv[] = {arg0, arg1, arg2, nullptr};
    EXPECT_EQ(system.arguments(3, argv), (std::vector<std::u16string>{u"-M", u"caf\u00E9"}));

    auto& locale = platform().locale();
    EXPECT_EQ(locale.compareNoCase(u"path", u"PATH"), 0);
    EXPECT_EQ(locale.compareNoCase(u"\u00E9t\u00E9", u"\u00C9T\u00C9"), 0);
    EXPECT_EQ(locale.compareNoCase(u"\u0436", u"\u0416"), 0); // Cyrillic
    EXPECT_LT(locale.compareNoCase(u"apple", u"Banana"), 0);
    EXPECT_GT(locale.compareNoCase(u"b", u"A"), 0);
    EXPECT_EQ(locale.foldCase(u"Stra\u00DFe \u00e9"), u"STRA\u00DFE \u00C9");
    EXPECT_NE(locale.compareNoCase(u"\u00E9", u"e"), 0);
}

} // namespace
