// What the environment store promises, checked against whatever registry
// the build's backend reaches: the emulated machine here, the real registry
// under Windows. Each test works in a scratch key of its own under
// HKCU\Software\TalvorenTest and removes it again.

#include "base/EnvStore.h"
#include "base/Error.h"
#include "platform/HostEnvironment.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace talvoren;
using namespace talvoren::platform;

namespace {

const std::u16string kTestRoot = u"\\Software\\TalvorenTest";

std::vector<uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> out;
    for (int b : list) {
        out.push_back(static_cast<uint8_t>(b));
    }
    return out;
}

class StoreContractTest : public ::testing::Test {
protected:
    StoreContractTest()
    {
        std::random_device random;
        fKey = kTestRoot + u"\\" + std::u16string(u"run") + utf16(std::to_string(random()));
        TEnvStore creator(registry(), RootKey::CurrentUser);
        EXPECT_TRUE(creator.OpenKey(fKey, true)) << "cannot create the scratch key";
    }

    ~StoreContractTest() override
    {
        removeTree(fKey);
        registry().deleteKey(RootKey::CurrentUser, kTestRoot); // only when no other run is using it
    }

    static std::u16string utf16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

    IRegistry& registry() { return fMachine.platform().registry(); }

    void removeTree(const std::u16string& path)
    {
        TEnvStore store(registry(), RootKey::CurrentUser);
        if (store.OpenKeyReadOnly(path)) {
            for (const auto& sub : store.GetKeyNames()) {
                removeTree(path + u"\\" + sub);
            }
        }
        store.CloseKey();
        registry().deleteKey(RootKey::CurrentUser, path);
    }

    // A store opened for writing on the scratch key.
    std::unique_ptr<TEnvStore> open()
    {
        auto store = std::make_unique<TEnvStore>(registry(), RootKey::CurrentUser);
        EXPECT_TRUE(store->OpenKey(fKey, false));
        return store;
    }

    void setRaw(const std::u16string& name, uint32_t type, std::vector<uint8_t> data)
    {
        std::unique_ptr<IRegistryKey> key;
        ASSERT_EQ(registry().openKey(RootKey::CurrentUser, fKey, access::kAllAccess, false, key), error::kSuccess);
        ASSERT_EQ(key->setValue(name, RegValue{type, std::move(data)}), error::kSuccess);
    }

    RegValue getRaw(const std::u16string& name)
    {
        std::unique_ptr<IRegistryKey> key;
        RegValue value;
        EXPECT_EQ(registry().openKey(RootKey::CurrentUser, fKey, access::kRead, false, key), error::kSuccess);
        if (key) {
            EXPECT_EQ(key->queryValue(name, value), error::kSuccess) << test::utf8(name);
        }
        return value;
    }

    test::TestMachine fMachine;
    std::u16string fKey;
};

TEST_F(StoreContractTest, ValuesEnumerateInCreationOrderAndAReplacedValueKeepsItsPlace)
{
    // Wine's registry lists values sorted by name, unlike Windows; it shows
    // itself by its own key.
    TEnvStore wine(registry(), RootKey::LocalMachine);
    if (wine.OpenKeyReadOnly(u"\\Software\\Wine")) {
        GTEST_SKIP() << "Wine does not keep the registry's value order";
    }
    auto store = open();
    store->WriteString(u"Zeta", u"1");
    store->WriteExpandString(u"Alpha", u"2");
    store->WriteString(u"Mid", u"3");
    store->WriteString(u"Alpha", u"replaced");
    EXPECT_EQ(store->GetValueNames(), (std::vector<std::u16string>{u"Zeta", u"Alpha", u"Mid"}));
    store->DeleteValue(u"Zeta");
    store->WriteString(u"Zeta", u"again");
    EXPECT_EQ(store->GetValueNames(), (std::vector<std::u16string>{u"Alpha", u"Mid", u"Zeta"}));
    EXPECT_EQ(store->ReadString(u"Alpha"), u"replaced");
    EXPECT_EQ(store->GetDataType(u"Alpha"), regtype::kSz);
}

TEST_F(StoreContractTest, ValuesOfOtherTypesSurviveStringWritesUntouched)
{
    const auto dword = bytes({0x2A, 0, 0, 0});
    const auto multi = bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
    const auto binary = bytes({0, 0xFF, 0x10, 0x80, 7});
    const auto qword = bytes({1, 2, 3, 4, 5, 6, 7, 8});
    const auto foreign = bytes({0xDE, 0xAD, 0xBE});
    setRaw(u"Count", regtype::kDword, dword);
    setRaw(u"List", regtype::kMultiSz, multi);
    setRaw(u"Blob", regtype::kBinary, binary);
    setRaw(u"Big", regtype::kQword, qword);
    setRaw(u"Foreign", 0x4242, foreign);
    setRaw(u"Empty", regtype::kNone, {});
    {
        auto store = open();
        store->WriteString(u"PATH", u"C:\\x");
        store->WriteExpandString(u"Other", u"%PATH%");
        store->DeleteValue(u"Other");
        EXPECT_EQ(store->GetDataType(u"Count"), regtype::kDword);
        EXPECT_EQ(store->GetDataType(u"Foreign"), 0x4242u);
        EXPECT_EQ(store->ReadInteger(u"Count"), 42);
        EXPECT_EQ(store->ReadString(u"Empty"), u""); // no type, no data: reads as empty
    }
    EXPECT_EQ(getRaw(u"Count").data, dword);
    EXPECT_EQ(getRaw(u"List").data, multi);
    EXPECT_EQ(getRaw(u"List").type, regtype::kMultiSz);
    EXPECT_EQ(getRaw(u"Blob").data, binary);
    EXPECT_EQ(getRaw(u"Big").data, qword);
    EXPECT_EQ(getRaw(u"Foreign").type, 0x4242u);
    EXPECT_EQ(getRaw(u"Foreign").data, foreign);
    EXPECT_TRUE(getRaw(u"Empty").data.empty());
}

TEST_F(StoreContractTest, StringsAreWrittenWithTheirNullAndReadUpToTheFirstNull)
{
    auto store = open();
    store->WriteExpandString(u"Var", u"%SystemRoot%\\x");
    EXPECT_EQ(getRaw(u"Var").data, EncodeRegString(u"%SystemRoot%\\x"));
    EXPECT_EQ(getRaw(u"Var").type, regtype::kExpandSz);
    // The store keeps references as written: nothing is expanded.
    EXPECT_EQ(store->ReadString(u"Var"), u"%SystemRoot%\\x");

    store->WriteString(u"Var", u"plain");
    EXPECT_EQ(store->GetDataType(u"Var"), regtype::kSz);

    setRaw(u"Cut", regtype::kSz, bytes({'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0}));
    EXPECT_EQ(store->ReadString(u"Cut"), u"ab");
    setRaw(u"NoNull", regtype::kExpandSz, bytes({'x', 0, 'y', 0, 'z'})); // odd byte, no terminator
    EXPECT_EQ(store->ReadString(u"NoNull"), u"xy");
}

TEST_F(StoreContractTest, ReadingMissingAndNonStringValues)
{
    auto store = open();
    EXPECT_EQ(store->ReadString(u"DoesNotExist"), u"");
    EXPECT_FALSE(store->ValueExists(u"DoesNotExist"));
    setRaw(u"Number", regtype::kDword, bytes({1, 0, 0, 0}));
    try {
        store->ReadString(u"Number");
        FAIL() << "a DWORD read as text";
    } catch (const TError& e) {
        EXPECT_EQ(e.message(), u"Invalid data type for 'Number'");
    }
    setRaw(u"Multi", regtype::kMultiSz, bytes({'a', 0, 0, 0, 0, 0}));
    EXPECT_THROW(store->ReadString(u"Multi"), TError);
}

TEST_F(StoreContractTest, LongValuesAreNeverTruncated)
{
    auto store = open();
    for (size_t length : {2047u, 2048u, 32767u, 100000u}) {
        std::u16string text;
        for (size_t i = 0; i < length; ++i) {
            text += static_cast<char16_t>(u'A' + i % 26);
        }
        text.back() = u'\u00E9';
        store->WriteExpandString(u"Long", text);
        const std::u16string back = store->ReadString(u"Long");
        EXPECT_EQ(back.size(), length);
        EXPECT_EQ(back, text);
    }
}

TEST_F(StoreContractTest, OpeningNeverCreatesUnlessAsked)
{
    const std::u16string missing = fKey + u"\\Missing";
    TEnvStore reader(registry(), RootKey::CurrentUser);
    EXPECT_FALSE(reader.OpenKeyReadOnly(missing));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.LastError(), error::kFileNotFound);

    TEnvStore writer(registry(), RootKey::CurrentUser);
    EXPECT_FALSE(writer.OpenKey(missing, false));
    EXPECT_FALSE(reader.OpenKeyReadOnly(missing)) << "a failed open created the key";

    EXPECT_TRUE(writer.OpenKey(missing + u"\\Deeper", true));
    writer.WriteString(u"v", u"1");
    writer.CloseKey();
    EXPECT_TRUE(reader.OpenKeyReadOnly(missing + u"\\Deeper"));
    EXPECT_EQ(reader.ReadString(u"v"), u"1");

    auto store = open();
    EXPECT_EQ(store->GetKeyNames(), (std::vector<std::u16string>{u"Missing"}));
}

TEST_F(StoreContractTest, SubkeysAreListedAndValuesStayInTheirOwnKey)
{
    TEnvStore store(registry(), RootKey::CurrentUser);
    for (const char16_t* name : {u"beta", u"Alpha", u"gamma"}) {
        ASSERT_TRUE(store.OpenKey(fKey + u"\\" + name, true));
        store.WriteString(u"Inner", name);
    }
    auto parent = open();
    auto names = parent->GetKeyNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma"}));
    EXPECT_TRUE(parent->GetValueNames().empty());
    ASSERT_TRUE(store.OpenKeyReadOnly(fKey + u"\\BETA"));
    EXPECT_EQ(store.ReadString(u"inner"), u"beta");
}

TEST_F(StoreContractTest, DeleteValueReportsWhetherSomethingWasDeleted)
{
    auto store = open();
    store->WriteString(u"Gone", u"x");
    EXPECT_TRUE(store->DeleteValue(u"gone"));
    EXPECT_FALSE(store->ValueExists(u"Gone"));
    EXPECT_FALSE(store->DeleteValue(u"Gone"));
    EXPECT_EQ(store->LastError(), error::kFileNotFound);
}

TEST_F(StoreContractTest, TheDefaultValueIsTheEmptyName)
{
    auto store = open();
    EXPECT_FALSE(store->ValueExists(u""));
    store->WriteString(u"", u"default data");
    store->WriteString(u"Named", u"n");
    EXPECT_EQ(store->GetValueNames(), (std::vector<std::u16string>{u"", u"Named"}));
    EXPECT_EQ(store->ReadString(u""), u"default data");
    EXPECT_TRUE(store->DeleteValue(u""));
    EXPECT_EQ(store->GetValueNames(), (std::vector<std::u16string>{u"Named"}));
}

TEST_F(StoreContractTest, NamesCompareWithoutCaseAndKeepTheirStoredCase)
{
    auto store = open();
    store->WriteString(u"MixedCase", u"first");
    store->WriteExpandString(u"MIXEDCASE", u"second");
    store->WriteString(u"\u00C9t\u00E9", u"accent"); // "Été"
    EXPECT_EQ(store->GetValueNames(), (std::vector<std::u16string>{u"MixedCase", u"\u00C9t\u00E9"}));
    EXPECT_EQ(store->ReadString(u"mixedcase"), u"second");
    EXPECT_EQ(store->GetDataType(u"mixedCASE"), regtype::kExpandSz);
    EXPECT_EQ(store->ReadString(u"\u00E9T\u00C9"), u"accent");

    // Key paths ignore case too.
    TEnvStore other(registry(), RootKey::CurrentUser);
    EXPECT_TRUE(other.OpenKeyReadOnly(u"\\SOFTWARE\\talvorentest" + fKey.substr(kTestRoot.size())));
}

TEST_F(StoreContractTest, AnUnopenedStoreReadsNothingAndRefusesWrites)
{
    TEnvStore store(registry(), RootKey::CurrentUser);
    EXPECT_FALSE(store.OpenKeyReadOnly(fKey + u"\\Nope"));
    EXPECT_TRUE(store.GetValueNames().empty());
    EXPECT_TRUE(store.GetKeyNames().empty());
    EXPECT_EQ(store.ReadString(u"X"), u"");
    EXPECT_FALSE(store.DeleteValue(u"X"));
    try {
        store.WriteString(u"X", u"y");
        FAIL() << "a write without a key succeeded";
    } catch (const TError& e) {
        EXPECT_EQ(e.message(), u"Failed to set data for 'X'");
    }
    EXPECT_THROW(store.WriteExpandString(u"X", u"y"), TError);
}

TEST_F(StoreContractTest, AReadOnlyHandleCannotWrite)
{
    TEnvStore store(registry(), RootKey::CurrentUser);
    ASSERT_TRUE(store.OpenKeyReadOnly(fKey));
    EXPECT_THROW(store.WriteString(u"X", u"y"), TError);
    EXPECT_EQ(store.LastError(), error::kAccessDenied);
    EXPECT_FALSE(store.DeleteValue(u"X"));
    EXPECT_FALSE(open()->ValueExists(u"X"));
}

TEST_F(StoreContractTest, TheEnvironmentScopesOpenForReadingAndWriting)
{
    auto user = OpenScopeForReading(fMachine.platform(), CurrentUserScope());
    EXPECT_TRUE(user->IsOpen());
    auto system = OpenScopeForReading(fMachine.platform(), SystemScope());
    ASSERT_TRUE(system->IsOpen());
    const auto names = system->GetValueNames();
    EXPECT_NE(std::find(names.begin(), names.end(), u"windir"), names.end());
    EXPECT_NO_THROW(OpenScopeForWriting(fMachine.platform(), CurrentUserScope()));
}

// A batch of writes: kept whole once committed, on every backend. On the
// emulated machine it is one transaction, so a batch let go without its
// commit (a save that failed, or a process killed halfway) keeps nothing;
// Windows has no such step and every write has landed already.
TEST_F(StoreContractTest, ABatchKeepsItsWritesOnceCommitted)
{
    auto batchOf = [&](const std::u16string& prefix) {
        std::unique_ptr<IRegistryUpdate> batch;
        EXPECT_EQ(registry().beginBatch(RootKey::CurrentUser, fKey, batch), error::kSuccess);
        auto store = open();
        for (int i = 0; i < 50; ++i) {
            store->WriteInteger(prefix + utf16(std::to_string(i)), i);
        }
        store->DeleteValue(u"old");
        return batch;
    };
    open()->WriteInteger(u"old", 1);

    auto left = batchOf(u"left");
    left.reset();
    if (platform::kEmulatedMachine) {
        EXPECT_EQ(open()->GetValueNames(), std::vector<std::u16string>{u"old"});
    }

    auto kept = batchOf(u"kept");
    ASSERT_EQ(kept->commit(), error::kSuccess);
    kept.reset();
    auto store = open();
    EXPECT_FALSE(store->ValueExists(u"old"));
    EXPECT_EQ(store->ReadInteger(u"kept49"), 49);
    EXPECT_EQ(store->ValueExists(u"left0"), !platform::kEmulatedMachine);
}

} // namespace
