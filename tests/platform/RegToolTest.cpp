// talvoren-reg end to end: the executable against a throwaway machine, its
// output compared with the layout of reg.exe, its writes read back through
// the platform.

#include "base/EnvStore.h"
#include "platform/Utf.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace talvoren;
using namespace talvoren::platform;
namespace fs = std::filesystem;

namespace {

class RegToolTest : public ::testing::Test {
protected:
    // Standard input is never a terminal here, as in a script.
    test::ProcessResult reg(const std::vector<std::string>& args)
    {
        return test::runProcess(test::commandLine(TALVOREN_REG_EXE, args) + " </dev/null 2>&1");
    }
    int code(const std::vector<std::string>& args) { return reg(args).exitCode; }

    RegValue raw(RootKey root, const std::u16string& key, const std::u16string& name)
    {
        std::unique_ptr<IRegistryKey> handle;
        RegValue value{0xFFFF, {}};
        if (fMachine.platform().registry().openKey(root, key, access::kRead, false, handle) == error::kSuccess) {
            handle->queryValue(name, value);
        }
        return value;
    }
    void setRaw(const std::u16string& key, const std::u16string& name, RegValue value)
    {
        std::unique_ptr<IRegistryKey> handle;
        ASSERT_EQ(fMachine.platform().registry().openKey(RootKey::CurrentUser, key, access::kAllAccess, true, handle),
                  error::kSuccess);
        ASSERT_EQ(handle->setValue(name, value), error::kSuccess);
    }

    test::TestMachine fMachine;
};

TEST_F(RegToolTest, EveryWritableTypeRoundTrips)
{
    struct Case {
        std::string type, data, shown;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"REG_SZ", "C:\\x y", "C:\\x y", EncodeRegString(u"C:\\x y")},
        {"REG_EXPAND_SZ", "%SystemRoot%;x", "%SystemRoot%;x", EncodeRegString(u"%SystemRoot%;x")},
        {"REG_DWORD", "42", "0x2a", {42, 0, 0, 0}},
        {"REG_DWORD", "0xFFFFFFFF", "0xffffffff", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"REG_QWORD", "0x1234567890", "0x1234567890", {0x90, 0x78, 0x56, 0x34, 0x12, 0, 0, 0}},
        {"REG_BINARY", "0a0B0c", "0A0B0C", {0x0A, 0x0B, 0x0C}},
        {"REG_BINARY", "abc", "0ABC", {0x0A, 0xBC}},
        {"REG_MULTI_SZ", "a\\0bc", "a\\0bc", {'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}},
        {"REG_NONE", "x", "78000000", {'x', 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type + " " + c.data);
        ASSERT_EQ(code({"add", "HKCU\\Software\\T", "/v", "V", "/t", c.type, "/d", c.data, "/f"}), 0);
        const RegValue value = raw(RootKey::CurrentUser, u"Software\\T", u"V");
        EXPECT_EQ(value.data, c.bytes);
        const auto out = reg({"query", "HKCU\\Software\\T", "/v", "v"});
        EXPECT_EQ(out.exitCode, 0);
        EXPECT_EQ(out.output, "\nHKEY_CURRENT_USER\\Software\\T\n    V    " + c.type + "    " + c.shown + "\n\n");
    }
    EXPECT_EQ(code({"add", "HKCU\\Software\\T", "/v", "M", "/t", "REG_MULTI_SZ", "/s", "#", "/d", "x#y", "/f"}), 0);
    EXPECT_EQ(raw(RootKey::CurrentUser, u"Software\\T", u"M").data,
              (std::vector<uint8_t>{'x', 0, 0, 0, 'y', 0, 0, 0, 0, 0}));
}

TEST_F(RegToolTest, QueryListsValuesInOrderThenSubkeys)
{
    setRaw(u"Software\\Q", u"Zed", {regtype::kSz, EncodeRegString(u"last")});
    setRaw(u"Software\\Q", u"Alpha", {regtype::kDword, {1, 0, 0, 0}});
    setRaw(u"Software\\Q", u"Odd", {0x4242, {0xDE, 0xAD}});
    setRaw(u"Software\\Q\\Sub", u"", {regtype::kSz, EncodeRegString(u"inner")});
    setRaw(u"Software\\Q\\Empty", u"x", {regtype::kSz, EncodeRegString(u"")});
    EXPECT_EQ(reg({"query", "hkey_current_user\\Software\\Q\\"}).output,
              "\n"
              "HKEY_CURRENT_USER\\Software\\Q\n"
              "    Zed    REG_SZ    last\n"
              "    Alpha    REG_DWORD    0x1\n"
              "    Odd    0x4242    DEAD\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Q\\Empty\n"
              "HKEY_CURRENT_USER\\Software\\Q\\Sub\n");
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Q\\Sub", "/s"}).output,
              "\n"
              "HKEY_CURRENT_USER\\Software\\Q\\Sub\n"
              "    (Default)    REG_SZ    inner\n"
              "\n");
    const std::string recursive = reg({"query", "HKCU\\Software\\Q", "/s"}).output;
    EXPECT_NE(recursive.find("\nHKEY_CURRENT_USER\\Software\\Q\\Empty\n    x    REG_SZ    \n\n"), std::string::npos)
        << recursive;
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Q", "/ve"}).output,
              "\nHKEY_CURRENT_USER\\Software\\Q\n    (Default)    REG_SZ    (value not set)\n\n");
}

TEST_F(RegToolTest, FailuresExitWithOneAndChangeNothing)
{
    ASSERT_EQ(code({"add", "HKCU\\Software\\F", "/v", "Keep", "/d", "original", "/f"}), 0);
    const auto missing = reg({"query", "HKCU\\Software\\Nope"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("Unable to find the specified registry key"), std::string::npos);
    EXPECT_EQ(code({"query", "HKCU\\Software\\F", "/v", "Other"}), 1);
    EXPECT_EQ(code({"query", "HKXX\\Software"}), 1);
    EXPECT_EQ(code({"query"}), 1);
    EXPECT_EQ(code({"frobnicate", "HKCU"}), 1);
    EXPECT_EQ(code({"add", "HKCU\\Software\\F", "/v", "Keep", "/t", "REG_DWORD", "/d", "-1", "/f"}), 1);
    EXPECT_EQ(code({"add", "HKCU\\Software\\F", "/v", "Keep", "/t", "REG_DWORD", "/d", "4294967296", "/f"}), 1);
    EXPECT_EQ(code({"add", "HKCU\\Software\\F", "/v", "Keep", "/t", "REG_BINARY", "/d", "0g", "/f"}), 1);
    EXPECT_EQ(code({"add", "HKCU\\Software\\F", "/v", "Keep", "/t", "REG_FOO", "/d", "x", "/f"}), 1);
    EXPECT_EQ(code({"add", "HKCU\\Software\\F", "/v", "Keep", "/ve", "/d", "x", "/f"}), 1);
    // Without /f and without a terminal to ask, nothing is overwritten or deleted.
    EXPECT_EQ(code({"add", "HKCU\\Software\\F", "/v", "KEEP", "/d", "changed"}), 1);
    EXPECT_EQ(code({"delete", "HKCU\\Software\\F", "/v", "Keep"}), 1);
    EXPECT_EQ(code({"delete", "HKCU\\Software\\F"}), 1);
    EXPECT_EQ(DecodeRegString(raw(RootKey::CurrentUser, u"Software\\F", u"Keep").data), u"original");
}

TEST_F(RegToolTest, DeleteRemovesValuesAndWholeTrees)
{
    setRaw(u"Software\\D", u"", {regtype::kSz, EncodeRegString(u"d")});
    setRaw(u"Software\\D", u"a", {regtype::kSz, EncodeRegString(u"1")});
    setRaw(u"Software\\D", u"b", {regtype::kSz, EncodeRegString(u"2")});
    setRaw(u"Software\\D\\Sub\\Deep", u"c", {regtype::kSz, EncodeRegString(u"3")});
    EXPECT_EQ(code({"delete", "HKCU\\Software\\D", "/v", "A", "/f"}), 0);
    EXPECT_EQ(raw(RootKey::CurrentUser, u"Software\\D", u"a").type, 0xFFFFu);
    EXPECT_EQ(code({"delete", "HKCU\\Software\\D", "/v", "a", "/f"}), 1);
    EXPECT_EQ(code({"delete", "HKCU\\Software\\D", "/ve", "/f"}), 0);
    EXPECT_EQ(raw(RootKey::CurrentUser, u"Software\\D", u"").type, 0xFFFFu);
    EXPECT_EQ(DecodeRegString(raw(RootKey::CurrentUser, u"Software\\D", u"b").data), u"2");
    EXPECT_EQ(code({"delete", "HKCU\\Software\\D", "/va", "/f"}), 0);
    EXPECT_EQ(raw(RootKey::CurrentUser, u"Software\\D", u"b").type, 0xFFFFu);
    EXPECT_EQ(code({"query", "HKCU\\Software\\D\\Sub\\Deep"}), 0) << "/va keeps the subkeys";
    EXPECT_EQ(code({"delete", "HKEY_CURRENT_USER\\Software\\D", "/f"}), 0);
    EXPECT_EQ(code({"query", "HKCU\\Software\\D"}), 1);
    EXPECT_EQ(code({"delete", "HKCU", "/f"}), 1);
}

TEST_F(RegToolTest, TheMachineAndOtherRootsAreReachable)
{
    const std::string key = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    EXPECT_EQ(code({"add", key, "/v", "FromReg", "/t", "REG_EXPAND_SZ", "/d", "%windir%", "/f"}), 0);
    auto store = OpenScopeForReading(fMachine.platform(), SystemScope());
    EXPECT_EQ(store->GetDataType(u"FromReg"), regtype::kExpandSz);
    const std::string sid = test::utf8(fMachine.platform().accounts().currentUserSid());
    const auto viaUsers = reg({"query", "HKU\\" + sid + "\\Environment", "/v", "TEMP"});
    EXPECT_EQ(viaUsers.exitCode, 0);
    EXPECT_NE(viaUsers.output.find("TEMP    REG_EXPAND_SZ    %USERPROFILE%\\AppData\\Local\\Temp"), std::string::npos);
    EXPECT_NE(reg({"query", "HKEY_USERS"}).output.find("HKEY_USERS\\" + sid + "\n"), std::string::npos);

    fs::permissions(fMachine.prefix() / "machine.hive", fs::perms::owner_write, fs::perm_options::remove);
    const auto denied = reg({"add", key, "/v", "FromReg", "/d", "x", "/f"});
    EXPECT_EQ(denied.exitCode, 1);
    EXPECT_NE(denied.output.find("Access is denied"), std::string::npos) << denied.output;
    EXPECT_EQ(code({"query", key, "/v", "FromReg"}), 0);
}

} // namespace
