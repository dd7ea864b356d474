#include "system/Tools.h"

#include "model/EnvStore.h"
#include "platform/HostProcess.h"
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

TEST(AdminAccessTest, WritableMachineLeavesNoProbeValueBehind)
{
    test::TestMachine machine;
    EXPECT_TRUE(ProbeAdminAccess(machine.platform().registry()));
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
