#include "system/Tools.h"

#include "base/EnvStore.h"
#include "base/Error.h"
#include "model/PathChecks.h"
#include "platform/HostEnvironment.h"
#include "platform/Utf.h"
#include "system/ToolsUser.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace talvoren {
namespace {

bool probeValueLeft(platform::IPlatform& platform)
{
    TEnvStore store(platform.registry(), platform::RootKey::LocalMachine);
    store.OpenKeyReadOnly(kAdminProbeKey);
    return store.ValueExists(kAdminProbeValue);
}

TEST(AdminAccessTest, TheProbeWritesNothingAndRemovesAnEarlierVersionsLeftover)
{
    test::TestMachine machine;
    platform::IRegistry& registry = machine.platform().registry();
    std::unique_ptr<platform::IKeyWatch> watch;
    ASSERT_EQ(registry.watchKey(platform::RootKey::LocalMachine, kAdminProbeKey, watch), 0u);
    EXPECT_TRUE(ProbeAdminAccess(registry));
    EXPECT_FALSE(watch->changed()) << "probing must not touch the key";

    // A probe value written by an earlier version killed mid-probe.
    {
        TEnvStore store(registry, platform::RootKey::LocalMachine);
        ASSERT_TRUE(store.OpenKey(kAdminProbeKey, false));
        store.WriteInteger(kAdminProbeValue, 1);
    }
    EXPECT_TRUE(ProbeAdminAccess(registry));
    EXPECT_FALSE(probeValueLeft(machine.platform()));
}

TEST(AdminAccessTest, ReadOnlyMachineHiveMeansNoWriteAccess)
{
    if (!platform::kEmulatedMachine) {
        GTEST_SKIP() << "needs the emulated machine";
    }
    test::TestMachine machine;
    namespace fs = std::filesystem;
    fs::permissions(machine.prefix() / "machine.hive",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    auto standardUser = platform::createPlatform();
    EXPECT_FALSE(ProbeAdminAccess(standardUser->registry()));
    EXPECT_FALSE(probeValueLeft(*standardUser));
}

TEST(AdminAccessTest, TheAnswerIsProbedOnceAndKept)
{
    ResetAdminAccessProbe();
    test::TestMachine machine;
    ASSERT_TRUE(CheckForAdminAccess(machine.platform()));
    if (platform::kEmulatedMachine) {
        // Rights taken away later do not change the answer of this run.
        namespace fs = std::filesystem;
        fs::permissions(machine.prefix() / "machine.hive", fs::perms::owner_write | fs::perms::group_write,
                        fs::perm_options::remove);
        auto standardUser = platform::createPlatform();
        EXPECT_TRUE(CheckForAdminAccess(*standardUser));
        ResetAdminAccessProbe();
        EXPECT_FALSE(CheckForAdminAccess(*standardUser));
    }
    ResetAdminAccessProbe();
}

// A machine hive that another process holds at the start reads as no write
// access; asked again (as Refresh does) once it is free, the answer follows.
TEST(AdminAccessTest, ALockedMachineHiveIsProbedAgainAfterAReset)
{
    if (!platform::kEmulatedMachine) {
        GTEST_SKIP() << "needs the emulated machine's hive lock";
    }
    ResetAdminAccessProbe();
    test::TestMachine machine;
    {
        auto other = platform::createPlatform();
        std::unique_ptr<platform::IRegistryUpdate> hold;
        ASSERT_EQ(other->registry().beginUpdate(platform::RootKey::LocalMachine, kSystemEnvironmentKey, hold), 0u);
        EXPECT_FALSE(CheckForAdminAccess(machine.platform()));
    }
    EXPECT_FALSE(CheckForAdminAccess(machine.platform())) << "cached until asked again";
    ResetAdminAccessProbe();
    EXPECT_TRUE(CheckForAdminAccess(machine.platform()));
    ResetAdminAccessProbe();
}

class TRecordingShell : public platform::IShell {
public:
    std::u16string verb, file, parameters;
    uintptr_t owner = 0;
    bool answer = false;
    int calls = 0;

    bool execute(const std::u16string& v, const std::u16string& f, const std::u16string& p, uintptr_t o) override
    {
        ++calls;
        verb = v;
        file = f;
        parameters = p;
        owner = o;
        return answer;
    }
    void messageBox(const std::u16string&, const std::u16string&) override { }
};

TEST(RunAsAdminTest, AsksTheShellForAnElevatedStartWithoutParameters)
{
    TRecordingShell shell;
    shell.answer = true;
    EXPECT_TRUE(RunAsAdmin(shell, u"C:\\Tools\\talvoren.exe", 0x1234));
    EXPECT_EQ(shell.calls, 1);
    EXPECT_EQ(shell.verb, u"runas");
    EXPECT_EQ(shell.file, u"C:\\Tools\\talvoren.exe");
    EXPECT_EQ(shell.parameters, u"");
    EXPECT_EQ(shell.owner, 0x1234u);

    shell.answer = false; // declined or no elevation helper
    EXPECT_FALSE(RunAsAdmin(shell, u"C:\\Tools\\talvoren.exe", 0));
}

TEST(ExplorerParametersTest, FolderItselfFileSelectedElseTheFolderPart)
{
    test::TestMachine machine;
    namespace fs = std::filesystem;
    fs::create_directories(machine.scratchHostPath() / "Tools");
    std::ofstream(machine.scratchHostPath() / "Tools" / "run.exe") << "x";
    const std::u16string scratch = machine.scratchPath();
    platform::IFileSystem& files = machine.platform().fileSystem();

    EXPECT_EQ(ExplorerParameters(scratch + u"\\Tools", files), scratch + u"\\Tools");
    EXPECT_EQ(ExplorerParameters(scratch + u"\\Tools\\run.exe", files),
              u"/select, \"" + scratch + u"\\Tools\\run.exe\"");
    // Nothing of that name: the folder part, without a trailing backslash.
    EXPECT_EQ(ExplorerParameters(scratch + u"\\Tools\\gone\\x.exe", files), scratch + u"\\Tools\\gone");
    EXPECT_EQ(ExplorerParameters(scratch + u"\\Tools\\\\gone", files), scratch + u"\\Tools");
    EXPECT_EQ(ExplorerParameters(u"nothing", files), u"");
}

} // namespace
} // namespace talvoren

namespace talvoren {
namespace {

void setValue(platform::IPlatform& p, platform::RootKey root, const std::u16string& path, const std::u16string& name,
              uint32_t type, const std::u16string& text)
{
    std::unique_ptr<platform::IRegistryKey> key;
    ASSERT_EQ(p.registry().openKey(root, path, platform::access::kAllAccess, true, key), 0u);
    platform::RegValue value{type, {}};
    platform::appendRegString(value.data, text);
    ASSERT_EQ(key->setValue(name, value), 0u);
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const char16_t kTestKey[] = u"Software\\TalvorenExport";

TEST(RegistryExportTest, ValueLinesEscapeTypesAndSkipOthers)
{
    test::TestMachine machine;
    platform::IPlatform& p = machine.platform();
    using platform::RootKey;
    namespace t = platform::regtype;
    setValue(p, RootKey::CurrentUser, kTestKey, u"Path", t::kExpandSz, u"C:\\Tools;%JAVA_HOME%\\bin");
    setValue(p, RootKey::CurrentUser, kTestKey, u"Share", t::kSz, u"\\\\server\\share \"quoted\"");
    {
        std::unique_ptr<platform::IRegistryKey> key;
        ASSERT_EQ(p.registry().openKey(RootKey::CurrentUser, kTestKey, platform::access::kAllAccess, false, key), 0u);
        ASSERT_EQ(key->setValue(u"Count", platform::RegValue{t::kDword, {1, 0, 0, 0}}), 0u);
    }
    setValue(p, RootKey::CurrentUser, kTestKey, u"a\\b", t::kSz, u"");
    setValue(p, RootKey::CurrentUser, kTestKey, u"", t::kSz, u"default");
    setValue(p, RootKey::CurrentUser, kTestKey, u"Empty", t::kExpandSz, u"");
    setValue(p, RootKey::CurrentUser, kTestKey, u"Euro", t::kExpandSz, u"\u20AC\u00E9");
    setValue(p, RootKey::CurrentUser, kTestKey, u"Greek", t::kSz, u"\u03A9");

    const auto file = machine.scratchHostPath() / "out.reg";
    const std::u16string name = platform::fromUtf8(file.string());
    std::vector<std::u16string> inexact;
    ExportRegistryKey(p, RootKey::CurrentUser, u"\\" + std::u16string(kTestKey) + u"\\", u"; One\r\n[HKEY_X]", false,
                      name, &inexact);
    ExportRegistryKey(p, RootKey::CurrentUser, u"\\Software\\NoSuchKey", u"; Two\r\n[HKEY_Y]", true, name);

    const std::vector<std::string> valueLines = {
        "\"Path\"=hex(2):43,3A,5C,54,6F,6F,6C,73,3B,25,4A,41,56,41,5F,48,4F,4D,45,25,5C,62,69,6E,00\r\n",
        "\"Share\"=\"\\\\\\\\server\\\\share \\\"quoted\\\"\"\r\n",
        "\"a\\\\b\"=\"\"\r\n",
        "@=\"default\"\r\n",
        "\"Empty\"=hex(2):00\r\n",
        "\"Euro\"=hex(2):80,E9,00\r\n",
        "; The next value holds characters outside the ANSI code page; its name and data as UTF-16LE:\r\n"
        "; name=hex:47,00,72,00,65,00,65,00,6B,00 data=hex(1):A9,03,00,00\r\n",
    };
    const std::string text = readFile(file);
    const std::string head = "REGEDIT4\r\n\r\n; One\r\n[HKEY_X]\r\n";
    const std::string tail = "\r\n; Two\r\n[HKEY_Y]\r\n";
    if (platform::kEmulatedMachine) { // creation order; Windows has its own
        std::string all;
        for (const std::string& line : valueLines) {
            all += line;
        }
        EXPECT_EQ(text, head + all + tail);
    } else {
        EXPECT_EQ(text.substr(0, head.size()), head);
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
        size_t total = head.size() + tail.size();
        for (const std::string& line : valueLines) {
            EXPECT_NE(text.find(line), std::string::npos) << line;
            total += line.size();
        }
        EXPECT_EQ(text.size(), total); // nothing else, such as the DWORD
    }
    EXPECT_EQ(inexact, std::vector<std::u16string>{u"Greek"});

    // A file that cannot be made is an error, not a silent nothing.
    EXPECT_THROW(ExportRegistryKey(p, RootKey::CurrentUser, kTestKey, u"; x", false,
                                   platform::fromUtf8((machine.scratchHostPath() / "no" / "such.reg").string())),
                 TError);
}

TEST(RegistryExportTest, BackupHeadsTheUserSectionAsTheImportingAccount)
{
    test::TestMachine machine;
    platform::IPlatform& p = machine.platform();
    UserInfo user;
    ASSERT_TRUE(GetCurrentUserInfo(p, user));
    const auto file = machine.scratchHostPath() / "backup.reg";
    ASSERT_TRUE(BackupEnvironment(p, true, user, platform::fromUtf8(file.string())));
    const std::string text = readFile(file);
    const std::string userHead
        = "REGEDIT4\r\n\r\n; User: " + test::utf8(user.Name) + "\r\n[HKEY_CURRENT_USER\\Environment]\r\n";
    EXPECT_EQ(text.substr(0, userHead.size()), userHead);
    EXPECT_NE(text.find("\r\n\r\n; System variables\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\"
                        "Session Manager\\Environment]\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"TEMP\"=hex(2):"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_NE(text.substr(text.size() - 4), "\r\n\r\n");

    // A profile whose hive is damaged: nothing is written.
    if (platform::kEmulatedMachine) {
        UserInfo broken = user;
        broken.Sid = u"S-1-5-21-1-2-3-1999";
        broken.ProfileFolder = machine.scratchPath();
        std::ofstream(machine.scratchHostPath() / "ntuser.dat") << "not a hive";
        const auto none = machine.scratchHostPath() / "none.reg";
        EXPECT_FALSE(BackupEnvironment(p, true, broken, platform::fromUtf8(none.string())));
        EXPECT_FALSE(std::filesystem::exists(none));
    }
}

} // namespace
} // namespace talvoren

namespace talvoren {
namespace {

// The platform's own registry editor imports the file back with the same
// values and types. Windows (Wine) only: the emulated machine has no editor.
TEST(RegistryExportTest, RegeditImportsTheBackupBackExactly)
{
    if (platform::kEmulatedMachine) {
        GTEST_SKIP() << "needs the platform's registry editor";
    }
    test::TestMachine machine;
    platform::IPlatform& p = machine.platform();
    using platform::RootKey;
    namespace t = platform::regtype;
    const std::u16string from = u"Software\\TalvorenExportFrom";
    const std::u16string to = u"Software\\TalvorenExportTo";
    struct Value {
        std::u16string name;
        uint32_t type;
        std::u16string data;
    };
    const std::vector<Value> values = {
        {u"Path", t::kExpandSz, u"C:\\Tools;%JAVA_HOME%\\bin"},
        {u"Share", t::kSz, u"\\\\server\\share \"quoted\" ;="},
        {u"na\\me \"q\"", t::kSz, u"x"},
        {u"", t::kSz, u"default"},
        {u"Empty", t::kExpandSz, u""},
        {u"Latin", t::kExpandSz, u"caf\u00E9 \u20AC"},
    };
    for (const Value& v : values) {
        setValue(p, RootKey::CurrentUser, from, v.name, v.type, v.data);
    }
    const auto file = machine.scratchHostPath() / "roundtrip.reg";
    ExportRegistryKey(p, RootKey::CurrentUser, from, u"; test\r\n[HKEY_CURRENT_USER\\" + to + u"]", false,
                      platform::fromUtf8(file.string()));
    const auto result = test::runProcess("regedit /S \"" + file.string() + "\"");
    ASSERT_EQ(result.exitCode, 0);

    std::unique_ptr<platform::IRegistryKey> key;
    ASSERT_EQ(p.registry().openKey(RootKey::CurrentUser, to, platform::access::kRead, false, key), 0u);
    for (const Value& v : values) {
        platform::RegValue read;
        ASSERT_EQ(key->queryValue(v.name, read), 0u) << test::utf8(v.name);
        EXPECT_EQ(read.type, v.type) << test::utf8(v.name);
        EXPECT_EQ(platform::fromUtf16Le(read.data), v.data) << test::utf8(v.name);
    }
    key.reset();
    p.registry().deleteKey(RootKey::CurrentUser, to);
    p.registry().deleteKey(RootKey::CurrentUser, from);
}

// A backup of values REGEDIT4 cannot hold is the Unicode script, and the
// registry editor imports it with the exact bytes: a REG_SZ with a line
// break or an embedded NUL (written hex(1)), a CJK expandable string, and
// the Euro sign, which the ANSI code page holds.
TEST(RegistryExportTest, RegeditImportsTheUnicodeBackupBackExactly)
{
    test::TestMachine machine;
    platform::IPlatform& p = machine.platform();
    using platform::RootKey;
    namespace t = platform::regtype;
    const auto utf16 = [](std::u16string_view text) {
        std::vector<uint8_t> bytes;
        platform::appendUtf16Le(bytes, std::u16string(text) + u'\0');
        return bytes;
    };
    const std::vector<std::pair<std::u16string, platform::RegValue>> values = {
        {u"TV_EURO", {t::kSz, utf16(u"5 \u20AC")}},
        {u"TV_BREAK", {t::kSz, utf16(u"one\r\ntwo")}},
        {u"TV_CJK", {t::kExpandSz, utf16(u"%TEMP%\\\u6F22\u5B57")}},
        {u"TV_NUL", {t::kSz, utf16(std::u16string_view(u"a\0b", 3))}},
    };
    std::unique_ptr<platform::IRegistryKey> key;
    ASSERT_EQ(p.registry().openKey(RootKey::CurrentUser, u"Environment", platform::access::kAllAccess, true, key), 0u);
    for (const auto& [name, value] : values) {
        ASSERT_EQ(key->setValue(name, value), 0u);
    }
    UserInfo user;
    ASSERT_TRUE(GetCurrentUserInfo(p, user));
    const auto file = machine.scratchHostPath() / "unicode.reg";
    std::vector<std::u16string> inexact;
    ASSERT_TRUE(BackupEnvironment(p, false, user, platform::fromUtf8(file.string()), &inexact));
    EXPECT_EQ(inexact, (std::vector<std::u16string>{u"TV_BREAK", u"TV_CJK", u"TV_NUL"}));
    const std::string text = readFile(file);
    ASSERT_EQ(text.substr(0, 4), std::string("\xFF\xFEW\0", 4));
    for (const auto& [name, value] : values) {
        ASSERT_EQ(key->deleteValue(name), 0u);
    }
    if (platform::kEmulatedMachine) {
        return; // the emulated machine has no registry editor
    }
    ASSERT_EQ(test::runProcess("regedit /S \"" + file.string() + "\"").exitCode, 0);
    for (const auto& [name, value] : values) {
        platform::RegValue read;
        ASSERT_EQ(key->queryValue(name, read), 0u) << test::utf8(name);
        EXPECT_EQ(read.type, value.type) << test::utf8(name);
        EXPECT_EQ(read.data, value.data) << test::utf8(name);
        key->deleteValue(name);
    }
}

} // namespace
} // namespace talvoren

namespace talvoren {
namespace {

TEST(UserProfilesTest, TheRunningAccountIsListedServiceAccountsAreNot)
{
    test::TestMachine machine;
    platform::IPlatform& p = machine.platform();
    UserInfo me;
    ASSERT_TRUE(GetCurrentUserInfo(p, me));
    ASSERT_FALSE(me.Name.empty());
    const std::vector<UserInfo> users = GetUsers(p);
    bool found = false;
    for (const UserInfo& user : users) {
        EXPECT_EQ(user.SidType, 1u) << test::utf8(user.Sid);
        if (user.Sid == me.Sid) {
            found = true;
            EXPECT_EQ(user.Name, me.Name);
            EXPECT_EQ(user.Domain, me.Domain);
            EXPECT_EQ(user.ProfileFolder.find(u'%'), std::u16string::npos) << "references expanded";
            EXPECT_TRUE(FolderExists(user.ProfileFolder, p.fileSystem())) << test::utf8(user.ProfileFolder);
        }
    }
    EXPECT_TRUE(found);
    // The running account's hive loads (again) under its SID.
    EXPECT_EQ(LoadUserHive(p, me), 0u);
    std::unique_ptr<platform::IRegistryKey> key;
    EXPECT_EQ(
        p.registry().openKey(platform::RootKey::Users, me.Sid + u"\\Environment", platform::access::kRead, false, key),
        0u);
}

} // namespace
} // namespace talvoren
