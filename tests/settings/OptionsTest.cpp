#include "settings/Options.h"

#include "base/EnvStore.h"
#include "base/Error.h"
#include "base/Text.h"
#include "platform/HostEnvironment.h"
#include "platform/Utf.h"
#include "settings/IniFile.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>

namespace talvoren {
namespace {

using platform::RootKey;

const std::u16string kExe = u"C:\\Tools\\Talvoren\\talvoren.exe";
const std::u16string kIni = u"C:\\Tools\\Talvoren\\talvoren.ini";

// The emulated machine's registry, with the executable and its settings
// file placed where a test wants them. The file's bytes live in memory.
class TIniMachine : public platform::IPlatform, private platform::ISystem, private platform::IFileSystem {
public:
    explicit TIniMachine(platform::IPlatform& base)
        : fBase(base)
    {
    }

    uint32_t iniAttributes = platform::kInvalidFileAttributes;

    platform::IRegistry& registry() override { return fBase.registry(); }
    platform::ISystem& system() override { return *this; }
    platform::IFileSystem& fileSystem() override { return *this; }
    platform::IProcessEnvironment& environment() override { return fBase.environment(); }
    platform::ILocale& locale() override { return fBase.locale(); }
    platform::IAccounts& accounts() override { return fBase.accounts(); }
    platform::IShell& shell() override { return fBase.shell(); }

private:
    uintptr_t broadcastSettingChange(const std::u16string& area, uint32_t flags, uint32_t timeoutMs) override
    {
        return fBase.system().broadcastSettingChange(area, flags, timeoutMs);
    }
    bool isWow64Process(uint32_t* lastError) override { return fBase.system().isWow64Process(lastError); }
    std::u16string executablePath() override { return kExe; }
    std::vector<uint16_t> executableVersion() override { return fBase.system().executableVersion(); }
    std::vector<std::u16string> arguments(int argc, char** argv) override
    {
        return fBase.system().arguments(argc, argv);
    }

    uint32_t attributes(const std::u16string& path) override
    {
        return equalsAsciiNoCase(path, kIni) ? iniAttributes : fBase.fileSystem().attributes(path);
    }
    std::vector<platform::FindEntry> find(const std::u16string& pattern, size_t maxEntries) override
    {
        return fBase.fileSystem().find(pattern, maxEntries);
    }
    std::optional<std::u16string> shortPathName(const std::u16string& path) override
    {
        return fBase.fileSystem().shortPathName(path);
    }
    std::u16string windowsPathOf(const std::u16string& path) override { return fBase.fileSystem().windowsPathOf(path); }
    std::u16string dialogPathOf(const std::u16string& path) override { return fBase.fileSystem().dialogPathOf(path); }
    std::u16string tempFolder() override { return fBase.fileSystem().tempFolder(); }
    std::unique_ptr<platform::ICriticalErrorGuard> suppressCriticalErrors() override
    {
        return fBase.fileSystem().suppressCriticalErrors();
    }

    platform::IPlatform& fBase;
};

class TMemoryIniStore : public IIniFileStore {
public:
    std::optional<std::string> content;
    bool failWrites = false;
    int writes = 0;

    std::optional<std::vector<uint8_t>> ReadAll(const std::u16string& path) override
    {
        if (path != kIni || !content) {
            return std::nullopt;
        }
        return std::vector<uint8_t>(content->begin(), content->end());
    }
    bool WriteAll(const std::u16string& path, const std::vector<uint8_t>& bytes) override
    {
        ++writes;
        if (path != kIni || failWrites) {
            return false;
        }
        content = std::string(bytes.begin(), bytes.end());
        return true;
    }
};

class OptionsTest : public ::testing::Test {
protected:
    test::TestMachine machine;
    TIniMachine platform{machine.platform()};
    TMemoryIniStore files;

    // On Windows the registry is shared by every test: start without the
    // settings a previous test left behind.
    OptionsTest() { DeleteTree(u"Software\\Talvoren"); }
    ~OptionsTest() override { DeleteTree(u"Software\\Talvoren"); }

    void DeleteTree(const std::u16string& path)
    {
        std::unique_ptr<platform::IRegistryKey> key;
        if (platform.registry().openKey(RootKey::CurrentUser, path, platform::access::kAllAccess, false, key) != 0) {
            return;
        }
        const auto children = key->subKeyNames();
        key.reset();
        for (const auto& child : children) {
            DeleteTree(path + u"\\" + child);
        }
        platform.registry().deleteKey(RootKey::CurrentUser, path);
    }

    // Wine's registry enumerates values sorted by name; the emulated machine
    // and Windows keep the order of writing, which is what the checks mean.
    static std::vector<std::u16string> Ordered(std::vector<std::u16string> names)
    {
        if (!platform::kEmulatedMachine) {
            std::sort(names.begin(), names.end(),
                      [](const auto& a, const auto& b) { return compareAsciiNoCase(a, b) < 0; });
        }
        return names;
    }

    void UseIni(const std::string& text, bool readOnly = false)
    {
        files.content = text;
        platform.iniAttributes
            = readOnly ? platform::attr::kReadOnly | platform::attr::kArchive : platform::attr::kArchive;
    }

    std::unique_ptr<TOptions> Loaded()
    {
        auto options = std::make_unique<TOptions>(platform, files);
        options->Load();
        return options;
    }

    bool KeyExists(const std::u16string& path)
    {
        TEnvStore store(platform.registry(), RootKey::CurrentUser);
        return store.OpenKeyReadOnly(path);
    }

    platform::RegValue Value(const std::u16string& path, const std::u16string& name)
    {
        std::unique_ptr<platform::IRegistryKey> key;
        platform::RegValue value;
        if (platform.registry().openKey(RootKey::CurrentUser, path, platform::access::kRead, false, key) == 0) {
            key->queryValue(name, value);
        }
        return value;
    }

    std::vector<std::u16string> ValueNames(const std::u16string& path)
    {
        TEnvStore store(platform.registry(), RootKey::CurrentUser);
        store.OpenKeyReadOnly(path);
        return Ordered(store.GetValueNames());
    }

    void Seed(const std::u16string& path, const std::u16string& name, int32_t value)
    {
        TEnvStore store(platform.registry(), RootKey::CurrentUser);
        ASSERT_TRUE(store.OpenKey(path, true));
        store.WriteInteger(name, value);
    }

    void Seed(const std::u16string& path, const std::u16string& name, const std::u16string& value)
    {
        TEnvStore store(platform.registry(), RootKey::CurrentUser);
        ASSERT_TRUE(store.OpenKey(path, true));
        store.WriteString(name, value);
    }
};

int32_t nowLocal()
{
    return LocalSecondsSince1970(std::chrono::system_clock::now());
}

void ExpectDefaults(const TOptions& o)
{
    EXPECT_FALSE(o.onExitConfirmation);
    EXPECT_FALSE(o.onDeleteConfirmation);
    EXPECT_TRUE(o.checkForUpdates);
    EXPECT_TRUE(o.isAnimation);
    EXPECT_EQ(o.left, -1);
    EXPECT_EQ(o.top, -1);
    EXPECT_EQ(o.width, -1);
    EXPECT_EQ(o.height, -1);
    EXPECT_FALSE(o.isMaximized);
    EXPECT_TRUE(o.showInformation);
    EXPECT_TRUE(o.showReadonly);
    EXPECT_EQ(o.skin, u"Default");
    EXPECT_EQ(o.language(), u"English");
}

// --- registry mode ---------------------------------------------------------------

TEST_F(OptionsTest, RegistryFirstStartGivesDefaultsAndKeepsTheIdAfterSaving)
{
    const int32_t before = nowLocal();
    auto options = Loaded();
    const int32_t after = nowLocal();
    EXPECT_FALSE(options->isUSB());
    EXPECT_FALSE(options->isCD());
    ExpectDefaults(*options);
    EXPECT_GE(options->id, before);
    EXPECT_LE(options->id, after);
    EXPECT_EQ(options->GetExclusions().Count(), 0u);
    EXPECT_FALSE(KeyExists(kSettingsKey)) << "loading must not create the settings key";

    options->showReadonly = false;
    options->skin = u"Sky";
    options->Save();

    EXPECT_EQ(ValueNames(kSettingsKey),
              Ordered({u"onExitConfirmation", u"onDeleteConfirmation", u"checkForUpdates", u"isAnimation",
                       u"showInformation", u"showReadOnly", u"reviewBeforeSave", u"skin", u"isMaximized", u"left",
                       u"top", u"width", u"height", u"language", u"id"}));
    EXPECT_EQ(Value(kSettingsKey, u"showReadOnly").type, platform::regtype::kDword);
    EXPECT_EQ(Value(kSettingsKey, u"showReadOnly").data, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(Value(kSettingsKey, u"left").data, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Value(kSettingsKey, u"skin").type, platform::regtype::kSz);
    EXPECT_TRUE(KeyExists(u"Software\\Talvoren\\Exclusions"));

    auto again = Loaded();
    EXPECT_EQ(again->id, options->id);
    EXPECT_FALSE(again->showReadonly);
    EXPECT_EQ(again->skin, u"Sky");
}

TEST_F(OptionsTest, RegistryValueOfTheWrongKindTakesItsDefault)
{
    Seed(kSettingsKey, u"left", 100);
    Seed(kSettingsKey, u"width", u"800"); // a string where a number belongs
    Seed(kSettingsKey, u"skin", u""); // empty: the default
    Seed(kSettingsKey, u"language", u"Deutsch");
    Seed(kSettingsKey, u"checkForUpdates", 0);
    Seed(kSettingsKey, u"isAnimation", 7); // nonzero is true
    Seed(kSettingsKey, u"onExitConfirmation", u"1");
    Seed(kSettingsKey, u"id", 12345);

    auto options = Loaded();
    EXPECT_EQ(options->left, 100);
    EXPECT_EQ(options->width, -1);
    EXPECT_EQ(options->skin, u"Default");
    EXPECT_EQ(options->language(), u"Deutsch");
    EXPECT_FALSE(options->checkForUpdates);
    EXPECT_TRUE(options->isAnimation);
    EXPECT_FALSE(options->onExitConfirmation);
    EXPECT_EQ(options->id, 12345);
}

TEST_F(OptionsTest, RegistryExclusionsLoadTheirFlagsAndSaveReplacesThem)
{
    Seed(u"Software\\Talvoren\\Exclusions", u"PATH", 3);
    Seed(u"Software\\Talvoren\\Exclusions", u"Foo", 0);
    Seed(u"Software\\Talvoren\\Exclusions", u"Bar", 1);
    Seed(u"Software\\Talvoren\\Exclusions", u"Odd", u"text"); // unreadable: 0

    auto options = Loaded();
    TExclusions& list = options->GetExclusions();
    ASSERT_EQ(list.Count(), 4u);
    EXPECT_FALSE(list.isSplit(u"path"));
    EXPECT_FALSE(list.isCheck(u"path"));
    EXPECT_TRUE(list.ContainsKey(u"Foo"));
    EXPECT_TRUE(list.isSplit(u"Foo"));
    EXPECT_TRUE(list.isCheck(u"Foo"));
    EXPECT_FALSE(list.isSplit(u"Bar"));
    EXPECT_TRUE(list.isCheck(u"Bar"));
    EXPECT_TRUE(list.ContainsKey(u"Odd"));

    list.Remove(u"Foo");
    list.Remove(u"Odd");
    list.Add(u"Zed", true, false);
    options->Save();
    // Only the changes are written: the values kept stay where they were.
    EXPECT_EQ(ValueNames(u"Software\\Talvoren\\Exclusions"), Ordered({u"PATH", u"Bar", u"Zed"}));
    EXPECT_EQ(Value(u"Software\\Talvoren\\Exclusions", u"Zed").data, (std::vector<uint8_t>{2, 0, 0, 0}));

    list.Clear();
    options->Save();
    EXPECT_TRUE(KeyExists(u"Software\\Talvoren\\Exclusions"));
    EXPECT_TRUE(ValueNames(u"Software\\Talvoren\\Exclusions").empty());
}

// Saving writes what differs from the stored list and nothing else, as one
// batch: a save that fails halfway keeps none of it on the emulated machine,
// and the next save still knows what is really stored.
TEST_F(OptionsTest, RegistrySaveWritesOnlyTheChangedExclusionsInOneBatch)
{
    const std::u16string key = u"Software\\Talvoren\\Exclusions";
    Seed(key, u"PATH", 3);
    Seed(key, u"Keep", 1);
    Seed(key, u"Odd", u"text"); // another program's value, never touched by this user
    Seed(key, u"Gone", 2);
    auto options = Loaded();
    TExclusions& list = options->GetExclusions();
    list.Remove(u"PATH");
    list.Add(u"Path", true, true); // the same name, another spelling and flags
    list.Remove(u"Gone");
    list.Add(u"New", false, false);

    // A toolbar group no key can be named after makes the save fail after
    // the exclusions were written.
    options->toolbarLayout().SetInteger(std::u16string(300, u'x'), u"Visible", 1);
    bool failed = false;
    try {
        options->Save();
    } catch (const TError&) {
        failed = true;
    }
    if (platform::kEmulatedMachine) {
        EXPECT_TRUE(failed);
        EXPECT_EQ(ValueNames(key), (std::vector<std::u16string>{u"PATH", u"Keep", u"Odd", u"Gone"}))
            << "a failed batch keeps nothing";
    }

    options->toolbarLayout().Clear();
    options->Save();
    EXPECT_EQ(ValueNames(key), Ordered({u"Keep", u"Odd", u"New", u"Path"}));
    EXPECT_EQ(Value(key, u"Path").data, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(Value(key, u"New").data, (std::vector<uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(Value(key, u"Odd").type, platform::regtype::kSz) << "an entry the user left alone is not rewritten";

    // Unchanged, a save writes none of them: another program's change of a
    // stored flag survives it.
    Seed(key, u"Keep", 0);
    options->Save();
    EXPECT_EQ(Value(key, u"Keep").data, (std::vector<uint8_t>{0, 0, 0, 0}));

    // A subkey deleted since is written whole again.
    DeleteTree(key);
    options->Save();
    EXPECT_EQ(ValueNames(key), Ordered({u"Keep", u"New", u"Odd", u"Path"}));
}

TEST_F(OptionsTest, RegistryToolbarLayoutIsOneSubkeyPerComponent)
{
    {
        auto options = Loaded();
        options->toolbarLayout().SetInteger(u"tbUser", u"Visible", 0);
        options->toolbarLayout().SetString(u"tbUser", u"DockedTo", u"tbxDockToolbar");
        options->Save();
    }
    EXPECT_EQ(Value(u"Software\\Talvoren\\tbUser", u"Visible").type, platform::regtype::kDword);
    EXPECT_EQ(Value(u"Software\\Talvoren\\tbUser", u"DockedTo").type, platform::regtype::kSz);

    auto options = Loaded();
    const TToolbarLayout& layout = options->toolbarLayout();
    EXPECT_EQ(layout.Integer(u"tbUser", u"Visible"), 0);
    EXPECT_EQ(layout.String(u"tbUser", u"DockedTo"), u"tbxDockToolbar");
    // The exclusions' subkey is no toolbar.
    for (const auto& group : layout.Groups()) {
        EXPECT_NE(group.name, u"Exclusions");
    }
}

// --- USB mode --------------------------------------------------------------------

TEST_F(OptionsTest, EmptyIniFileIsUsbModeWithDefaultsAndTheFirstSaveWritesEveryKey)
{
    UseIni("");
    auto options = Loaded();
    EXPECT_TRUE(options->isUSB());
    EXPECT_FALSE(options->isCD());
    ExpectDefaults(*options);
    options->id = 1700000000;
    options->Save();

    EXPECT_EQ(*files.content,
              "[Talvoren]\r\n"
              "onExitConfirmation=0\r\n"
              "onDeleteConfirmation=0\r\n"
              "checkForUpdates=1\r\n"
              "isAnimation=1\r\n"
              "showInformation=1\r\n"
              "showReadOnly=1\r\n"
              "reviewBeforeSave=1\r\n"
              "skin=Default\r\n"
              "isMaximized=0\r\n"
              "left=-1\r\n"
              "top=-1\r\n"
              "width=-1\r\n"
              "height=-1\r\n"
              "language=English\r\n"
              "id=1700000000\r\n");
    EXPECT_FALSE(KeyExists(kSettingsKey)) << "USB mode leaves the registry alone";
}

TEST_F(OptionsTest, IniValuesAreReadByTheirRules)
{
    UseIni("[Talvoren]\n"
           "onDeleteConfirmation=1\n"
           "checkForUpdates=0\n"
           "isAnimation=maybe\n"
           "left=0x64\n"
           "top=50\n"
           "width=800\n"
           "height=600x\n"
           "isMaximized=2\n"
           "showReadOnly=0\n"
           "skin=\n"
           "id=42\n"
           "[Exclusions]\n"
           "Path=3\n"
           "PATH=0\n"
           "Temp=2\n"
           "Broken=zz\n"
           "[Toolbars_tbMain]\n"
           "Visible=0\n"
           "DockedTo=tbxDockToolbar\n");
    auto options = Loaded();
    EXPECT_TRUE(options->onDeleteConfirmation);
    EXPECT_FALSE(options->checkForUpdates);
    EXPECT_TRUE(options->isAnimation) << "text that is no number gives the default";
    EXPECT_EQ(options->left, 100);
    EXPECT_EQ(options->top, 50);
    EXPECT_EQ(options->width, 800);
    EXPECT_EQ(options->height, -1);
    EXPECT_TRUE(options->isMaximized);
    EXPECT_FALSE(options->showReadonly);
    EXPECT_EQ(options->skin, u"") << "an empty key in the file is an empty name";
    EXPECT_EQ(options->language(), u"English");
    EXPECT_EQ(options->id, 42);

    // The second spelling of "Path" is skipped; loading goes on.
    TExclusions& list = options->GetExclusions();
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_FALSE(list.isSplit(u"PATH"));
    EXPECT_FALSE(list.isCheck(u"PATH"));
    EXPECT_TRUE(list.isSplit(u"Temp"));
    EXPECT_FALSE(list.isCheck(u"Temp"));
    EXPECT_TRUE(list.ContainsKey(u"Broken"));
    EXPECT_TRUE(list.isSplit(u"Broken"));

    EXPECT_EQ(options->toolbarLayout().Integer(u"tbMain", u"Visible"), 0);
    EXPECT_EQ(options->toolbarLayout().String(u"tbMain", u"DockedTo"), u"tbxDockToolbar");
}

TEST_F(OptionsTest, IniSaveRewritesExclusionsInIndexOrderAndKeepsForeignLines)
{
    UseIni("; my notes\r\n"
           "[Talvoren]\r\n"
           "skin=Sky\r\n"
           "[Exclusions]\r\n"
           "Stale=1\r\n"
           "[Mine]\r\n"
           "x=1\r\n");
    auto options = Loaded();
    TExclusions& list = options->GetExclusions();
    list.Remove(u"Stale");
    list.Add(u"b", false, true);
    list.Add(u"A", true, false);
    list.Add(u"a_x", false, false);
    options->toolbarLayout().SetInteger(u"tbUser", u"Visible", 1);
    options->Save();

    const TIniFile ini = TIniFile::Parse(std::vector<uint8_t>(files.content->begin(), files.content->end()));
    EXPECT_EQ(ini.ReadSection(u"Exclusions"), (std::vector<std::u16string>{u"A", u"a_x", u"b"}));
    EXPECT_EQ(ini.ReadInteger(u"Exclusions", u"A", -1), 2);
    EXPECT_EQ(ini.ReadInteger(u"Exclusions", u"a_x", -1), 3);
    EXPECT_EQ(ini.ReadInteger(u"Exclusions", u"b", -1), 1);
    EXPECT_EQ(ini.ReadInteger(u"Mine", u"x", -1), 1);
    EXPECT_EQ(ini.ReadInteger(u"Toolbars_tbUser", u"Visible", -1), 1);
    EXPECT_EQ(ini.ReadString(u"Talvoren", u"skin", u""), u"Sky");
    EXPECT_EQ(files.content->rfind("; my notes", 0), 0u);

    list.Clear();
    options->Save();
    const TIniFile cleared = TIniFile::Parse(std::vector<uint8_t>(files.content->begin(), files.content->end()));
    EXPECT_TRUE(cleared.ReadSection(u"Exclusions").empty());
}

TEST_F(OptionsTest, UnreadableOrFailingIniFile)
{
    // The file exists but cannot be read: defaults, the start goes on, and
    // no save ever replaces the file with them.
    platform.iniAttributes = platform::attr::kArchive;
    files.content.reset();
    auto options = Loaded();
    EXPECT_TRUE(options->isUnreadable());
    ExpectDefaults(*options);
    options->Save();
    EXPECT_EQ(files.writes, 0);

    // Read at the start, unreadable at the save: refused, not overwritten.
    UseIni("[Talvoren]\r\nskin=Sky\r\n");
    options = Loaded();
    EXPECT_FALSE(options->isUnreadable());
    files.content.reset();
    try {
        options->Save();
        FAIL() << "a file that cannot be read again must not be replaced";
    } catch (const TError& e) {
        EXPECT_NE(e.message().find(kIni), std::u16string::npos);
    }
    EXPECT_EQ(files.writes, 0);

    UseIni("");
    options = Loaded();
    files.failWrites = true;
    try {
        options->Save();
        FAIL() << "a failed write must be reported";
    } catch (const TError& e) {
        EXPECT_NE(e.message().find(kIni), std::u16string::npos);
    }
}

// --- CD mode ---------------------------------------------------------------------

TEST_F(OptionsTest, ReadOnlyIniFileIsCdModeAndNothingIsEverWritten)
{
    const std::string content = "[Talvoren]\r\nonExitConfirmation=1\r\nlanguage=Deutsch\r\n[Exclusions]\r\nX=1\r\n";
    UseIni(content, true);
    auto options = Loaded();
    EXPECT_TRUE(options->isCD());
    EXPECT_FALSE(options->isUSB());
    EXPECT_TRUE(options->onExitConfirmation);
    EXPECT_EQ(options->language(), u"Deutsch");
    EXPECT_FALSE(options->GetExclusions().isSplit(u"x"));

    options->onExitConfirmation = false;
    options->GetExclusions().Clear();
    options->Save();
    EXPECT_EQ(files.writes, 0);
    EXPECT_EQ(*files.content, content);
    EXPECT_FALSE(KeyExists(kSettingsKey));
}

// A long exclusion list in the INI file costs time in proportion to its
// length: 32 times the entries take some 50 to 100 times as long here (the
// larger tables outgrow the caches), where a cost per entry that grows with
// the list takes about a thousand times as long.
TEST_F(OptionsTest, IniExclusionsLoadInTimeProportionalToTheirNumber)
{
    auto seconds = [](auto&& body) {
        const auto start = std::chrono::steady_clock::now();
        body();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    auto entries = [](size_t count, auto&& add) {
        for (size_t i = 0; i < count; ++i) {
            add(u"VAR" + u16(std::to_string(i)), static_cast<int32_t>(i % 4));
        }
    };
    const size_t small = 1000;
    // 64 times as many: linear is about 64 (180 measured with cache misses),
    // quadratic over 4000, so the bound stays clear of both under load.
    const size_t large = 64 * small;

    auto iniLoad = [&](size_t count) {
        std::string text = "[Exclusions]\r\n";
        entries(count, [&](const std::u16string& name, int32_t flags) {
            text += platform::toUtf8(name) + "=" + std::to_string(flags) + "\r\n";
        });
        UseIni(text);
        size_t loaded = 0;
        const double took = seconds([&] { loaded = Loaded()->GetExclusions().Count(); });
        EXPECT_EQ(loaded, count);
        return took;
    };
    // The best of three runs: the machine is shared, and a slow run says
    // nothing about the code.
    auto best = [&](size_t count) {
        return std::min({iniLoad(count), iniLoad(count), iniLoad(count)});
    };
    const double ratio = best(large) / std::max(best(small), 1e-4);
    EXPECT_LT(ratio, 2000.0) << large << " entries took " << ratio << " times as long as " << small;
}

// --- helpers ---------------------------------------------------------------------

TEST(OptionsHelpersTest, ChangeFileExtReplacesOnlyTheLastComponentsExtension)
{
    EXPECT_EQ(ChangeFileExt(u"C:\\Tools\\talvoren.exe", u".ini"), u"C:\\Tools\\talvoren.ini");
    EXPECT_EQ(ChangeFileExt(u"Z:\\build\\app\\talvoren", u".ini"), u"Z:\\build\\app\\talvoren.ini");
    EXPECT_EQ(ChangeFileExt(u"C:\\my.tools\\talvoren", u".ini"), u"C:\\my.tools\\talvoren.ini");
    EXPECT_EQ(ChangeFileExt(u"C:\\a\\b.tar.gz", u".ini"), u"C:\\a\\b.tar.ini");
}

TEST(OptionsHelpersTest, IdIsLocalTimeRoundedToTheNearestSecond)
{
    const auto old = platform::hostVariable("TZ");
    // Two hours east of UTC, no daylight saving.
    test::setHostVariable("TZ", std::string("XXX-2"));
    tzset();
    using namespace std::chrono;
    const system_clock::time_point epoch{};
    EXPECT_EQ(LocalSecondsSince1970(epoch), 7200);
    EXPECT_EQ(LocalSecondsSince1970(epoch + milliseconds(499)), 7200);
    EXPECT_EQ(LocalSecondsSince1970(epoch + milliseconds(501)), 7201);
    EXPECT_EQ(LocalSecondsSince1970(epoch + seconds(1700000000)), 1700000000 + 7200);
    test::setHostVariable("TZ", old);
    tzset();
}

} // namespace
} // namespace talvoren
