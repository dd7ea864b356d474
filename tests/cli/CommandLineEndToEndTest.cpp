// The real executable against a throwaway machine: values are seeded and
// read back with the machine's reg command, as a user's script would.

#include "base/EnvStore.h"
#include "model/NodeInfo.h"
#include "platform/HostEnvironment.h"
#include "platform/Utf.h"
#include "system/ToolsUser.h"
#include "tests/support/HostProcess.h"
#include "tests/support/RegTool.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sstream>

using namespace talvoren;
using test::RegEntry;

namespace {

const std::string kUserKey = "HKCU\\Environment";
const std::string kSystemKey = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

class CommandLineEndToEndTest : public ::testing::Test {
protected:
    CommandLineEndToEndTest()
        : reg(TALVOREN_REG_COMMAND)
    {
    }

    ~CommandLineEndToEndTest() override
    {
        // On Windows the machine is shared by every test: leave nothing behind.
        for (const auto& [key, name] : created) {
            reg.remove(key, name);
        }
    }

    // A variable name of this test's own, removed again at the end.
    std::string var(const std::string& stem, const std::string& key = kUserKey)
    {
        static std::atomic<int> counter{0};
        const std::string name = "TalvorenTest_" + stem + "_" + std::to_string(++counter);
        created.emplace_back(key, name);
        return name;
    }

    int talvoren(const std::vector<std::string>& args)
    {
        return test::runProcess(test::commandLine(TALVOREN_EXE, args)).exitCode;
    }

    std::optional<RegEntry> query(const std::string& key, const std::string& name) { return reg.query(key, name); }

    std::u16string readDirect(const Scope& scope, const std::string& name)
    {
        TEnvStore store(machine.platform().registry(), scope.root);
        store.OpenKeyReadOnly(scope.key);
        return store.ReadString(platform::fromUtf8(name));
    }

    void writeDirect(const Scope& scope, const std::string& name, const std::u16string& value)
    {
        TEnvStore store(machine.platform().registry(), scope.root);
        ASSERT_TRUE(store.OpenKey(scope.key, false));
        store.WriteString(platform::fromUtf8(name), value);
    }

    // Every value of both scopes, as "scope name type data" lines: what a
    // refused run must leave exactly as it was.
    std::vector<std::string> everything()
    {
        std::vector<std::string> lines;
        for (const Scope& scope : {CurrentUserScope(), SystemScope()}) {
            std::unique_ptr<platform::IRegistryKey> key;
            if (machine.platform().registry().openKey(scope.root, scope.key, platform::access::kQueryValue, false, key)
                != 0) {
                ADD_FAILURE() << "cannot read " << test::utf8(scope.key);
                continue;
            }
            for (const auto& name : key->valueNames()) {
                platform::RegValue value;
                key->queryValue(name, value);
                std::string line = (scope.root == platform::RootKey::CurrentUser ? "user " : "system ")
                    + test::utf8(name) + " " + std::to_string(value.type) + " ";
                for (uint8_t byte : value.data) {
                    line += "0123456789abcdef"[byte >> 4];
                    line += "0123456789abcdef"[byte & 15];
                }
                lines.push_back(line);
            }
        }
        return lines;
    }

    // Broadcast lines the emulated machine has logged so far.
    size_t broadcasts()
    {
        std::ifstream log(machine.prefix() / "messages.log");
        std::string line;
        size_t count = 0;
        while (std::getline(log, line)) {
            count += line.find("Environment") != std::string::npos ? 1 : 0;
        }
        return count;
    }

    test::TestMachine machine;
    test::RegTool reg;
    std::vector<std::pair<std::string, std::string>> created;
};

TEST_F(CommandLineEndToEndTest, SetWritesAPlainStringAndExitsWithZero)
{
    const auto name = var("set");
    ASSERT_EQ(talvoren({"-s", name, "C:\\bin"}), 0);
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).type, "REG_SZ");
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).data, "C:\\bin");
}

TEST_F(CommandLineEndToEndTest, HistoryListsEveryChangeAndTakesItBack)
{
    const auto name = var("history");
    const auto created = var("historyNew");
    ASSERT_EQ(reg.add(kUserKey, name, "REG_SZ", "C:\\Tools;D:\\bin"), 0);
    ASSERT_EQ(talvoren({"-S", "-E", name, "C:\\only"}), 0);
    ASSERT_EQ(query(kUserKey, name).value_or(RegEntry{}).type, "REG_EXPAND_SZ");
    const auto listed = test::runProcess(test::commandLine(TALVOREN_EXE, {"-H"}));
    ASSERT_EQ(listed.exitCode, 0);
    const std::string first = listed.output.substr(0, listed.output.find('\n'));
    EXPECT_TRUE(first.starts_with("1\t")) << first;
    EXPECT_NE(first.find("\tUser\t" + name + "\t"), std::string::npos) << first;
    EXPECT_NE(first.find(".reg"), std::string::npos) << first;

    // Value and type come back; the restore is an entry of its own.
    ASSERT_EQ(talvoren({"-H", "1"}), 0);
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).type, "REG_SZ");
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).data, "C:\\Tools;D:\\bin");
    ASSERT_EQ(talvoren({"-H", "1"}), 0);
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).data, "C:\\only");

    // A variable the change created is removed again.
    ASSERT_EQ(talvoren({"-A", created, "x"}), 0);
    ASSERT_EQ(talvoren({"-H", "1"}), 0);
    EXPECT_FALSE(query(kUserKey, created));

    const auto before = everything();
    EXPECT_EQ(talvoren({"-H", "100000"}), 1);
    EXPECT_EQ(talvoren({"-H", "x"}), 1);
    EXPECT_EQ(everything(), before);
}

TEST_F(CommandLineEndToEndTest, NoOperationMeansSet)
{
    const auto name = var("plain");
    ASSERT_EQ(talvoren({name, "a"}), 0);
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).data, "a");
}

TEST_F(CommandLineEndToEndTest, InsertIntoTheSystemScopeKeepsOrWidensTheType)
{
    const auto name = var("sys", kSystemKey);
    ASSERT_EQ(reg.add(kSystemKey, name, "REG_EXPAND_SZ", "C:\\Windows"), 0);
    // An expandable variable stays expandable, whatever the operation.
    ASSERT_EQ(talvoren({"/M", "/I", name, "C:\\Tools"}), 0);
    auto entry = query(kSystemKey, name);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->data, "C:\\Tools;C:\\Windows");
    EXPECT_EQ(entry->type, "REG_EXPAND_SZ");
    ASSERT_EQ(talvoren({"/M", "-S", name, "%SystemRoot%"}), 0);
    EXPECT_EQ(query(kSystemKey, name).value_or(RegEntry{}).type, "REG_EXPAND_SZ");

    // A plain string stays plain unless -E widens it.
    const auto plain = var("plain", kSystemKey);
    ASSERT_EQ(reg.add(kSystemKey, plain, "REG_SZ", "C:\\Windows"), 0);
    ASSERT_EQ(talvoren({"/M", "/A", plain, "C:\\Tools"}), 0);
    EXPECT_EQ(query(kSystemKey, plain).value_or(RegEntry{}).type, "REG_SZ");
    ASSERT_EQ(talvoren({"/M", "/I", "-E", plain, "D:\\x"}), 0);
    entry = query(kSystemKey, plain);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->data, "D:\\x;C:\\Windows;C:\\Tools");
    EXPECT_EQ(entry->type, "REG_EXPAND_SZ");

    // A new variable is plain, or expandable with -E.
    const auto fresh = var("new", kSystemKey);
    const auto freshExpand = var("newE", kSystemKey);
    ASSERT_EQ(talvoren({"/M", "/A", fresh, "C:\\Tools"}), 0);
    ASSERT_EQ(talvoren({"/M", "/A", "/E", freshExpand, "C:\\Tools"}), 0);
    EXPECT_EQ(query(kSystemKey, fresh).value_or(RegEntry{}).type, "REG_SZ");
    EXPECT_EQ(query(kSystemKey, freshExpand).value_or(RegEntry{}).type, "REG_EXPAND_SZ");
}

TEST_F(CommandLineEndToEndTest, AppendWithCleanup)
{
    const auto name = var("append");
    ASSERT_EQ(reg.add(kUserKey, name, "REG_SZ", "C:\\a;;C:\\b"), 0);
    ASSERT_EQ(talvoren({"-A", "-C", name, "C:\\a"}), 0);
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).data, "C:\\a;C:\\b");
}

TEST_F(CommandLineEndToEndTest, RemoveDropsEveryAsciiCaseMatch)
{
    const auto name = var("remove");
    ASSERT_EQ(reg.add(kUserKey, name, "REG_SZ", "C:\\a;C:\\b;C:\\A"), 0);
    ASSERT_EQ(talvoren({"-R", name, "c:\\A"}), 0);
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).data, "C:\\b");
}

TEST_F(CommandLineEndToEndTest, InsertAndAppendOnAMissingOrEmptyVariableGiveTheValueAlone)
{
    const auto missingI = var("missingI");
    const auto missingA = var("missingA");
    const auto empty = var("empty");
    ASSERT_EQ(reg.add(kUserKey, empty, "REG_SZ", ""), 0);
    ASSERT_EQ(talvoren({"-I", missingI, "y"}), 0);
    ASSERT_EQ(talvoren({"-A", missingA, "y"}), 0);
    ASSERT_EQ(talvoren({"-I", empty, "y"}), 0);
    EXPECT_EQ(readDirect(CurrentUserScope(), missingI), u"y");
    EXPECT_EQ(readDirect(CurrentUserScope(), missingA), u"y");
    EXPECT_EQ(readDirect(CurrentUserScope(), empty), u"y");
}

TEST_F(CommandLineEndToEndTest, DeleteUsesTheLastScopeOptionAndDeletingNothingSucceeds)
{
    const auto name = var("del");
    ASSERT_EQ(reg.add(kUserKey, name, "REG_SZ", "x"), 0);
    ASSERT_EQ(reg.add(kSystemKey, name, "REG_SZ", "x"), 0);
    created.emplace_back(kSystemKey, name);
    ASSERT_EQ(talvoren({"-D", "-M", "-U", name}), 0);
    EXPECT_FALSE(query(kUserKey, name));
    EXPECT_TRUE(query(kSystemKey, name));
    // Deleting what does not exist is still a success.
    EXPECT_EQ(talvoren({"-D", name}), 0);
}

TEST_F(CommandLineEndToEndTest, EmptyAndQuotedOperands)
{
    const auto name = var("quoted");
    ASSERT_EQ(talvoren({"-S", name, "C:\\Program Files\\x;D:\\a b"}), 0);
    EXPECT_EQ(readDirect(CurrentUserScope(), name), u"C:\\Program Files\\x;D:\\a b");
    ASSERT_EQ(talvoren({"-S", name, ""}), 0);
    auto entry = query(kUserKey, name);
    ASSERT_TRUE(entry) << "an empty value is still a value";
    EXPECT_EQ(readDirect(CurrentUserScope(), name), u"");
}

TEST_F(CommandLineEndToEndTest, NonStringVariableIsNeitherReadNorTouched)
{
    const auto name = var("dword");
    const auto none = var("none");
    ASSERT_EQ(reg.add(kUserKey, name, "REG_DWORD", "7"), 0);
    {
        // An empty value of no type: as little a string as a number is.
        std::unique_ptr<platform::IRegistryKey> key;
        ASSERT_EQ(machine.platform().registry().openKey(platform::RootKey::CurrentUser, kUserEnvironmentKey,
                                                        platform::access::kAllAccess, false, key),
                  0u);
        ASSERT_EQ(key->setValue(platform::fromUtf8(none), {platform::regtype::kNone, {}}), 0u);
    }
    for (const char* op : {"-A", "-I", "-R"}) {
        EXPECT_EQ(talvoren({op, name, "x"}), 1) << op;
        auto entry = query(kUserKey, name);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->type, "REG_DWORD") << op;
        EXPECT_EQ(entry->data, "0x7") << op;
        EXPECT_EQ(talvoren({op, "-C", none, "x"}), 1) << op;
        EXPECT_EQ(query(kUserKey, none).value_or(RegEntry{}).type, "REG_NONE") << op;
    }
    // A plain set replaces it: the variable is written as string.
    EXPECT_EQ(talvoren({"-S", name, "x"}), 0);
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).type, "REG_SZ");
}

TEST_F(CommandLineEndToEndTest, LongValuesAreNeverTruncated)
{
    const auto name = var("long");
    // Over the display limit, through the command line itself.
    const std::string value3000(3000, 'v');
    ASSERT_EQ(talvoren({"-S", name, value3000}), 0);
    EXPECT_EQ(readDirect(CurrentUserScope(), name).size(), 3000u);

    // Up to the environment block's 32767 characters: more than one command
    // line can carry, so the start is seeded directly.
    writeDirect(CurrentUserScope(), name, std::u16string(32760, u'w'));
    ASSERT_EQ(talvoren({"-A", name, "abcdef"}), 0);
    const std::u16string stored = readDirect(CurrentUserScope(), name);
    EXPECT_EQ(stored.size(), 32767u);
    EXPECT_EQ(stored.substr(32760), u";abcdef");
}

TEST_F(CommandLineEndToEndTest, CommandLinesThatCannotBeMeantChangeNothing)
{
    const auto name = var("keep");
    const auto sysName = var("keep", kSystemKey);
    ASSERT_EQ(reg.add(kUserKey, name, "REG_SZ", "keep"), 0);
    ASSERT_EQ(reg.add(kSystemKey, sysName, "REG_EXPAND_SZ", "C:\\a;;C:\\a"), 0);
    {
        // The key's unnamed value, which "-D" without a name used to delete.
        std::unique_ptr<platform::IRegistryKey> key;
        ASSERT_EQ(machine.platform().registry().openKey(platform::RootKey::CurrentUser, kUserEnvironmentKey,
                                                        platform::access::kAllAccess, false, key),
                  0u);
        ASSERT_EQ(key->setValue(u"", {platform::regtype::kSz, EncodeRegString(u"default")}), 0u);
    }
    const std::vector<std::vector<std::string>> refused = {
        // No value: each of these would have emptied the variable.
        {"-S", name},
        {name},
        {"-I", name},
        {"-A", name},
        {"-R", name},
        {"-S", "-C", "-M", sysName},
        {"-E", name},
        // No variable.
        {"-S"},
        {"-M"},
        {"-D"},
        {"-S", "", name},
        // More operands than the operation takes: an unquoted value with blanks.
        {"-A", name, "C:\\Program", "Files\\Tool"},
        {name, "a", "b"},
        {"-D", name, "x"},
        {"-C", name, "a", "b"},
        // A mistyped switch, or an operand that looks like one before any operation.
        {"-X", name, "v"},
        {"-Q", name},
        {"/X", name, "v"},
        {"--set", name, "v"},
        {"-M", "-Q", "v"},
        {name, "-v"},
        {"-?X", "v"},
        // Two operations, or switches a delete has no use for.
        {"-S", "-D", name},
        {"-I", "-A", name, "v"},
        {"-R", "-S", name, "v"},
        {"-D", "-C", name},
        {"-D", "-E", name},
        // Names no variable can have.
        {"-S", "A=B", "v"},
        {"-S", "=C:", "v"},
        {"-S",
         "A\x7f"
         "B",
         "v"},
        {"-S", "   ", "v"},
        {"-D", ""},
        {"-D", "A=B"},
    };
    const auto before = everything();
    const size_t broadcastsBefore = broadcasts();
    for (const auto& args : refused) {
        std::string shown;
        for (const auto& arg : args) {
            shown += " [" + arg.substr(0, 20) + "]";
        }
        EXPECT_EQ(talvoren(args), 1) << shown;
        EXPECT_EQ(everything(), before) << shown;
    }
    EXPECT_EQ(broadcasts(), broadcastsBefore);

    // Longer than a process environment can hold.
    writeDirect(CurrentUserScope(), name, std::u16string(32760, u'w'));
    EXPECT_EQ(talvoren({"-A", name, "abcdefg"}), 1);
    EXPECT_EQ(readDirect(CurrentUserScope(), name).size(), 32760u);

    std::unique_ptr<platform::IRegistryKey> key;
    ASSERT_EQ(machine.platform().registry().openKey(platform::RootKey::CurrentUser, kUserEnvironmentKey,
                                                    platform::access::kAllAccess, false, key),
              0u);
    EXPECT_EQ(key->deleteValue(u""), 0u);
}

TEST_F(CommandLineEndToEndTest, NamesAreTrimmedAndMayLookLikeSwitchesAfterTheOperation)
{
    const auto name = var("trim");
    ASSERT_EQ(talvoren({"-S", "  " + name + " ", "v"}), 0);
    EXPECT_EQ(query(kUserKey, name).value_or(RegEntry{}).data, "v");
    ASSERT_EQ(talvoren({"-D", " " + name}), 0);
    EXPECT_FALSE(query(kUserKey, name));

    // After the operation, "-?" and "/X" are names and "-v" a value.
    ASSERT_EQ(talvoren({"-S", "-?", "-v"}), 0);
    EXPECT_EQ(readDirect(CurrentUserScope(), "-?"), u"-v");
    EXPECT_EQ(talvoren({"-C", "/X"}), 0) << "nothing there to clean";
    EXPECT_FALSE(query(kUserKey, "/X"));
    EXPECT_EQ(talvoren({"/X", "-S", "v"}), 1);
    EXPECT_EQ(talvoren({"-S", "/X", "v"}), 0);
    EXPECT_EQ(readDirect(CurrentUserScope(), "/X"), u"v");
    // reg itself would take these names for switches.
    TEnvStore store(machine.platform().registry(), platform::RootKey::CurrentUser);
    ASSERT_TRUE(store.OpenKey(kUserEnvironmentKey, false));
    EXPECT_TRUE(store.DeleteValue(u"-?"));
    EXPECT_TRUE(store.DeleteValue(u"/X"));
}

TEST_F(CommandLineEndToEndTest, CleanupAndRemoveWriteOnlyWhatChanges)
{
    const auto path = var("path", kSystemKey);
    const auto clean = var("clean");
    const auto missing = var("missing");
    const auto dword = var("dword");
    ASSERT_EQ(reg.add(kSystemKey, path, "REG_EXPAND_SZ", "C:\\a;;D:\\x;c:\\A;C:\\b;;"), 0);
    ASSERT_EQ(reg.add(kUserKey, clean, "REG_SZ", "C:\\a;C:\\b"), 0);
    ASSERT_EQ(reg.add(kUserKey, dword, "REG_DWORD", "7"), 0);
    size_t count = broadcasts();

    // "-C -M Path": the system's own value cleaned, its type kept.
    ASSERT_EQ(talvoren({"-C", "-M", path}), 0);
    auto entry = query(kSystemKey, path);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->data, "C:\\a;D:\\x;C:\\b");
    EXPECT_EQ(entry->type, "REG_EXPAND_SZ");
    if (platform::kEmulatedMachine) {
        EXPECT_EQ(broadcasts(), ++count);
    }

    // Clean already, or not there: nothing written and nothing broadcast.
    const auto before = everything();
    EXPECT_EQ(talvoren({"-C", clean}), 0);
    EXPECT_EQ(talvoren({"-C", "-M", path}), 0);
    EXPECT_EQ(talvoren({"-C", missing}), 0);
    EXPECT_EQ(talvoren({"-R", missing, "x"}), 0);
    EXPECT_EQ(talvoren({"-R", "-C", missing, "x"}), 0);
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(broadcasts(), count);
    EXPECT_EQ(talvoren({"-C", dword}), 1) << "a number is no list";
    EXPECT_EQ(query(kUserKey, dword).value_or(RegEntry{}).type, "REG_DWORD");

    // -E widens a clean value: that is a change.
    ASSERT_EQ(talvoren({"-C", "-E", clean}), 0);
    EXPECT_EQ(query(kUserKey, clean).value_or(RegEntry{}).type, "REG_EXPAND_SZ");
    // With a value, -C alone sets the cleaned value.
    ASSERT_EQ(talvoren({"-C", clean, "x;;y;X"}), 0);
    EXPECT_EQ(query(kUserKey, clean).value_or(RegEntry{}).data, "x;y");
    // -R of the last element leaves the variable, empty.
    ASSERT_EQ(talvoren({"-S", clean, "x"}), 0);
    ASSERT_EQ(talvoren({"-R", clean, "X"}), 0);
    entry = query(kUserKey, clean);
    ASSERT_TRUE(entry);
    EXPECT_EQ(readDirect(CurrentUserScope(), clean), u"");
}

TEST_F(CommandLineEndToEndTest, ParallelAppendsLoseNothing)
{
    // Fewer under Wine, where every start costs far more.
    const int runs = platform::kEmulatedMachine ? 50 : 10;
    const int rounds = platform::kEmulatedMachine ? 3 : 2;
    const auto name = var("acc");
    std::set<std::u16string> expected;
    int refused = 0;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::future<int>> started;
        for (int i = 0; i < runs; ++i) {
            const std::string element = "e" + std::to_string(round * runs + i);
            started.push_back(std::async(std::launch::async, [this, name, element] {
                return talvoren({"-A", name, element});
            }));
        }
        for (int i = 0; i < runs; ++i) {
            const int rc = started[i].get();
            EXPECT_TRUE(rc == 0 || rc == 1) << rc;
            if (rc == 0) {
                expected.insert(u"e" + platform::fromUtf8(std::to_string(round * runs + i)));
            } else {
                ++refused;
            }
        }
    }
    std::multiset<std::u16string> stored;
    for (const auto& element : SplitValue(readDirect(CurrentUserScope(), name))) {
        stored.insert(element);
    }
    // Each run that said it appended did so exactly once, and a run that
    // failed left nothing. On a busy machine a run may give up waiting for the
    // others (exit 1), but only rarely.
    EXPECT_EQ(stored, std::multiset<std::u16string>(expected.begin(), expected.end()));
    EXPECT_LE(refused, runs * rounds / 20);
}

TEST_F(CommandLineEndToEndTest, AChangeWaitsForAnotherUpdateAndGivesUpUnchanged)
{
    const auto name = var("locked");
    ASSERT_EQ(reg.add(kUserKey, name, "REG_SZ", "keep"), 0);
    const size_t before = broadcasts();
    {
        // Another Talvoren in the middle of its update step: each run waits
        // the one documented time, once, then gives up.
        std::unique_ptr<platform::IRegistryUpdate> update;
        ASSERT_EQ(
            machine.platform().registry().beginUpdate(platform::RootKey::CurrentUser, kUserEnvironmentKey, update), 0u);
        for (const std::vector<std::string>& args : {std::vector<std::string>{"-A", name, "x"},
                                                     {"-C", name},
                                                     {"-D", name},
                                                     {"-D", "TalvorenTest_never_there"}}) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(talvoren(args), 1) << args[0];
            const auto waited = std::chrono::steady_clock::now() - start;
            EXPECT_GE(waited, std::chrono::milliseconds(platform::kRegistryLockWaitMs)) << args[0];
            // A second wait would double it; a start under Wine costs up to a second.
            EXPECT_LT(waited, std::chrono::milliseconds(platform::kRegistryLockWaitMs * 3 / 2 + 1000)) << args[0];
        }
    }
    EXPECT_EQ(readDirect(CurrentUserScope(), name), u"keep");
    EXPECT_EQ(broadcasts(), before);
    EXPECT_EQ(talvoren({"-A", name, "x"}), 0) << "once the step is over";
    EXPECT_EQ(readDirect(CurrentUserScope(), name), u"keep;x");
}

// ---------------------------------------------------------------------------
// What only the emulated machine lets a test arrange.

// -X and -W report what a new process gets from both scopes and change nothing.
TEST_F(CommandLineEndToEndTest, ReportsPrintWhatANewProcessGetsAndChangeNothing)
{
    const std::string shared = var("Shared");
    created.emplace_back(kSystemKey, shared);
    const std::string systemOnly = var("SysOnly", kSystemKey);
    ASSERT_EQ(reg.add(kSystemKey, shared, "REG_SZ", "from system"), 0);
    ASSERT_EQ(reg.add(kUserKey, shared, "REG_SZ", "from user"), 0);
    ASSERT_EQ(reg.add(kSystemKey, systemOnly, "REG_EXPAND_SZ", "%SystemRoot%\\tv"), 0);
    const auto before = everything();

    const auto report = test::runProcess(test::commandLine(TALVOREN_EXE, {"-X"}));
    ASSERT_EQ(report.exitCode, 0);
    std::vector<std::string> lines;
    std::string line;
    for (std::istringstream in(report.output); std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    auto upper = [](std::string text) {
        for (char& c : text) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        return text.substr(0, text.find('='));
    };
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end(),
                               [&](const std::string& a, const std::string& b) { return upper(a) < upper(b); }));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), shared + "=from user"), 1);
    const std::string root = test::utf8(machine.platform().environment().variable(u"SystemRoot"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), systemOnly + "=" + root + "\\tv"), 1);
    const auto path
        = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return upper(l) == "PATH"; });
    ASSERT_NE(path, lines.end());

    const auto which = test::runProcess(test::commandLine(TALVOREN_EXE, {"-W", "cmd"}));
    EXPECT_EQ(which.exitCode, 0);
    std::string first = which.output.substr(0, which.output.find_first_of("\r\n"));
    for (char& c : first) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_TRUE(first.size() > 8 && first.substr(first.size() - 8) == "\\cmd.exe") << which.output;
    const auto none = test::runProcess(test::commandLine(TALVOREN_EXE, {"-W", "TalvorenNoSuchProgram"}));
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.output, "");
    // -U naming the running account is plain -X; an unknown account prints nothing.
    UserInfo me;
    ASSERT_TRUE(GetCurrentUserInfo(machine.platform(), me));
    EXPECT_EQ(test::runProcess(test::commandLine(TALVOREN_EXE, {"-X", "-U", test::utf8(me.Name)})).output,
              test::runProcess(test::commandLine(TALVOREN_EXE, {"-X"})).output);
    const auto unknown = test::runProcess(test::commandLine(TALVOREN_EXE, {"-X", "-U", "TalvorenNoSuchAccount"}));
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.output, "");
    for (const std::vector<std::string>& refused : {std::vector<std::string>{"-X", "extra"},
                                                    {"-M", "-X"},
                                                    {"-X", "-C"},
                                                    {"-W"},
                                                    {"-W", "a", "b"},
                                                    {"-X", "-S"}}) {
        EXPECT_EQ(talvoren(refused), 1) << refused.front();
    }
    EXPECT_EQ(everything(), before);
}

class EmulatedCommandLineTest : public CommandLineEndToEndTest {
protected:
    void SetUp() override
    {
        if (!platform::kEmulatedMachine) {
            GTEST_SKIP() << "needs the emulated machine";
        }
    }

    std::filesystem::path userHive()
    {
        for (auto& entry : std::filesystem::recursive_directory_iterator(machine.prefix() / "drive_c" / "Users")) {
            if (entry.path().filename() == "ntuser.dat" && entry.path().parent_path().filename() != "Default") {
                return entry.path();
            }
        }
        return {};
    }
};

TEST_F(EmulatedCommandLineTest, EveryChangeIsBroadcastAndAFailureIsNot)
{
    const auto name = var("bc");
    const size_t before = broadcasts();
    ASSERT_EQ(talvoren({"-S", name, "x"}), 0);
    EXPECT_EQ(broadcasts(), before + 1);
    ASSERT_EQ(talvoren({"-D", name}), 0);
    EXPECT_EQ(broadcasts(), before + 2);

    ASSERT_EQ(reg.add(kUserKey, name, "REG_BINARY", "00ff"), 0);
    EXPECT_EQ(talvoren({"-A", name, "x"}), 1);
    EXPECT_EQ(broadcasts(), before + 2);
}

// -X -U NAME: another account's environment from its own hive and profile,
// never the running account's values; an unknown account is said and refused.
TEST_F(EmulatedCommandLineTest, AnotherAccountsEnvironmentComesFromItsOwnHive)
{
    const auto made = test::runProcess(test::commandLine(TALVOREN_REG_COMMAND, {"useradd", "Bob"}));
    ASSERT_EQ(made.exitCode, 0);
    std::optional<UserInfo> bob;
    for (const auto& user : GetUsers(machine.platform())) {
        if (user.Name == u"Bob") {
            bob = user;
        }
    }
    ASSERT_TRUE(bob);
    ASSERT_EQ(LoadUserHive(machine.platform(), *bob), 0u);
    {
        TEnvStore store(machine.platform().registry(), OtherUserScope(bob->Sid).root);
        ASSERT_TRUE(store.OpenKey(OtherUserScope(bob->Sid).key, false));
        store.WriteExpandString(u"BobTools", u"%USERPROFILE%\\tools");
        store.WriteString(u"Path", u"C:\\BobBin");
    }
    const std::string mine = var("Mine");
    ASSERT_EQ(reg.add(kUserKey, mine, "REG_SZ", "mine"), 0);
    const auto before = everything();

    auto lines = [](const std::string& output) {
        std::set<std::string> set;
        std::string line;
        for (std::istringstream in(output); std::getline(in, line);) {
            set.insert(line);
        }
        return set;
    };
    const auto report = test::runProcess(test::commandLine(TALVOREN_EXE, {"-X", "-U", "bob"}));
    ASSERT_EQ(report.exitCode, 0);
    const auto env = lines(report.output);
    const std::string profile = test::utf8(bob->ProfileFolder);
    for (const std::string& expected :
         std::vector<std::string>{"USERNAME=Bob", "USERDOMAIN=" + test::utf8(bob->Domain), "USERPROFILE=" + profile,
                                  "APPDATA=" + profile + "\\AppData\\Roaming", "BobTools=" + profile + "\\tools"}) {
        EXPECT_EQ(env.count(expected), 1u) << expected << "\n" << report.output;
    }
    const auto path
        = std::find_if(env.begin(), env.end(), [](const std::string& l) { return l.rfind("Path=", 0) == 0; });
    ASSERT_NE(path, env.end());
    EXPECT_TRUE(path->size() > 10 && path->substr(path->size() - 10) == ";C:\\BobBin") << *path;
    EXPECT_EQ(report.output.find(mine), std::string::npos);
    EXPECT_EQ(report.output.find(test::utf8(machine.platform().environment().variable(u"USERPROFILE"))),
              std::string::npos);

    // The account by DOMAIN\Name too.
    EXPECT_EQ(test::runProcess(test::commandLine(TALVOREN_EXE, {"-X", "-U", test::utf8(bob->Domain) + "\\BOB"})).output,
              report.output);

    const auto unknown = test::runProcess(test::commandLine(TALVOREN_EXE, {"-X", "-U", "Nobody"}) + " 2>&1");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.output.find("'Nobody'"), std::string::npos) << unknown.output;
    EXPECT_EQ(lines(unknown.output).size(), 1u) << unknown.output;
    for (const std::vector<std::string>& refused : {std::vector<std::string>{"-X", "-U"},
                                                    {"-X", "-U", "Bob", "extra"},
                                                    {"-W", "-U", "Bob"},
                                                    {"-X", "-M", "Bob"}}) {
        EXPECT_EQ(talvoren(refused), 1) << refused.back();
    }
    EXPECT_EQ(everything(), before);
}

TEST_F(EmulatedCommandLineTest, CorruptHiveFailsWithoutLosingTheFile)
{
    machine.platform(); // the prefix is seeded
    const auto hive = userHive();
    ASSERT_FALSE(hive.empty());
    const std::string garbage = "this is not a registry hive\n" + std::string(5000, 'x');
    {
        std::ofstream out(hive, std::ios::binary | std::ios::trunc);
        out << garbage;
    }
    EXPECT_EQ(talvoren({"-S", "X", "y"}), 1);
    EXPECT_EQ(talvoren({"-A", "X", "y"}), 1);
    std::ifstream in(hive, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, garbage);
}

TEST_F(EmulatedCommandLineTest, ReadOnlySystemScopeRefusesWritesAndDeletes)
{
    const auto name = var("ro", kSystemKey);
    ASSERT_EQ(reg.add(kSystemKey, name, "REG_SZ", "keep"), 0);
    // A standard user: the machine hive without its owner-write bit.
    bool found = false;
    for (auto& entry : std::filesystem::directory_iterator(machine.prefix())) {
        if (entry.is_regular_file() && readDirect(SystemScope(), name) == u"keep") {
            const auto ext = entry.path().extension().string();
            if (entry.path().filename().string().find("machine") != std::string::npos) {
                std::filesystem::permissions(entry.path(),
                                             std::filesystem::perms::owner_write | std::filesystem::perms::group_write
                                                 | std::filesystem::perms::others_write,
                                             std::filesystem::perm_options::remove);
                found = true;
            }
        }
    }
    ASSERT_TRUE(found) << "no machine hive in the prefix";
    const size_t before = broadcasts();
    EXPECT_EQ(talvoren({"-M", "-S", name, "changed"}), 1);
    EXPECT_EQ(talvoren({"-M", "-D", name}), 1) << "the variable is still there";
    EXPECT_EQ(readDirect(SystemScope(), name), u"keep");
    // Nothing to delete is no failure, and nothing to broadcast either.
    EXPECT_EQ(talvoren({"-M", "-D", "TalvorenTest_never_there"}), 0);
    EXPECT_EQ(broadcasts(), before);
    // The user scope is still writable.
    EXPECT_EQ(talvoren({"-S", var("user"), "x"}), 0);
}

TEST_F(EmulatedCommandLineTest, ArgumentsThatAreNotTextAreRefused)
{
    const auto stem = var("bytes");
    // Two names that differ only in bytes that are not UTF-8.
    EXPECT_EQ(talvoren({"-S", stem + "\xff", "a"}), 1);
    EXPECT_EQ(talvoren({"-S", stem + "\xfe", "b"}), 1);
    EXPECT_EQ(talvoren({"-S", stem, "a\xff"}), 1);
    EXPECT_EQ(talvoren({"-D", stem + "\xff"}), 1);
    TEnvStore store(machine.platform().registry(), platform::RootKey::CurrentUser);
    ASSERT_TRUE(store.OpenKeyReadOnly(kUserEnvironmentKey));
    for (const auto& written : store.GetValueNames()) {
        EXPECT_NE(written.rfind(platform::fromUtf8(stem), 0), 0u) << test::utf8(written);
    }
    // A real U+FFFD is text like any other.
    EXPECT_EQ(talvoren({"-S", stem, "\xef\xbf\xbd"}), 0);
    EXPECT_EQ(readDirect(CurrentUserScope(), stem), u"\xfffd");
}

} // namespace
