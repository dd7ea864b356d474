#pragma once

// A fresh emulated machine and a main window over it, for the window's
// suites: a shell that writes down what it is asked, no INI file, and short
// ways to seed and read the registry.

#include "model/EnvStore.h"
#include "platform/Platform.h"
#include "settings/Options.h"
#include "system/Tools.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TestSupport.h"
#include "ui/FormMain.h"
#include "ui/FormOK.h"
#include "ui/FormYesNo.h"
#include "ui/FormYesNoCancel.h"

#include <QAction>
#include <QTest>
#include <filesystem>
#include <memory>

namespace talvoren::test {

class TNoIniFile : public IIniFileStore {
public:
    std::optional<std::vector<uint8_t>> ReadAll(const std::u16string&) override { return std::nullopt; }
    bool WriteAll(const std::u16string&, const std::vector<uint8_t>&) override { return false; }
};

// One fresh machine and a window over it.
struct TFixture {
    explicit TFixture(bool readOnlySystem = false)
    {
        ResetAdminAccessProbe();
        if (readOnlySystem) {
            // A standard user: the machine hive without its owner-write bit.
            namespace fs = std::filesystem;
            fs::permissions(machine.prefix() / "machine.hive",
                            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
            fresh = platform::createPlatform();
        }
        shell = std::make_unique<TRecordingPlatform>(fresh ? *fresh : machine.platform());
    }
    ~TFixture()
    {
        window.reset();
        ResetAdminAccessProbe();
    }

    platform::IPlatform& platform() { return *shell; }

    void Seed(platform::RootKey root, const std::u16string& key, const std::u16string& name,
              const std::u16string& value)
    {
        TEnvStore store(platform().registry(), root);
        QVERIFY(store.OpenKey(key, true));
        store.WriteString(name, value);
    }
    void SeedSetting(const std::u16string& name, int32_t value)
    {
        TEnvStore store(platform().registry(), platform::RootKey::CurrentUser);
        QVERIFY(store.OpenKey(kSettingsKey, true));
        store.WriteInteger(name, value);
    }
    std::u16string Read(platform::RootKey root, const std::u16string& key, const std::u16string& name)
    {
        TEnvStore store(platform().registry(), root);
        store.OpenKeyReadOnly(key);
        return store.ReadString(name);
    }
    bool SettingsSaved()
    {
        TEnvStore store(platform().registry(), platform::RootKey::CurrentUser);
        return store.OpenKeyReadOnly(kSettingsKey);
    }

    TfrmMain& Open(bool show = true)
    {
        window = std::make_unique<TfrmMain>(platform(), files);
        window->setEndApplication([this] { ended = true; });
        if (show) {
            window->show();
            if (!QTest::qWaitForWindowExposed(window.get())) {
                qWarning("window not exposed");
            }
        }
        return *window;
    }

    // An edit as the edit operations make it: push, then change.
    void EditUser(const std::u16string& name, const std::u16string& value)
    {
        window->Push();
        TETree& tree = window->userVarTree();
        if (TENode* node = tree.FindVariable(name)) {
            tree.SetVariableValue(node, value);
        } else {
            tree.AddVariable(name, value, kDataTypeString, false);
        }
        window->UpdateActions();
    }

    QAction* action(const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); }

    TestMachine machine;
    std::unique_ptr<platform::IPlatform> fresh;
    std::unique_ptr<TRecordingPlatform> shell;
    TNoIniFile files;
    std::unique_ptr<TfrmMain> window;
    bool ended = false;
};

inline void resetDialogs()
{
    TfrmYesNo::hook().reset();
    TfrmYesNoCancel::hook().reset();
    TfrmOK::hook().reset();
}

} // namespace talvoren::test
