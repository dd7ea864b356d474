#pragma once

// A fresh emulated machine and a main window over it, for the window's
// suites: a shell that writes down what it is asked, no INI file, and short
// ways to seed and read the registry.

#include "base/EnvStore.h"
#include "edit/UndoStack.h"
#include "platform/Platform.h"
#include "settings/Options.h"
#include "system/Tools.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TestSupport.h"
#include "ui/ETreeView.h"
#include "ui/EditActions.h"
#include "ui/FormFind.h"
#include "ui/FormMain.h"
#include "ui/FormOK.h"
#include "ui/FormQuestion.h"
#include "ui/Inspector.h"
#include "ui/Splitter.h"
#include "ui/StatusField.h"
#include "ui/TreePanel.h"
#include "ui/UndoActions.h"
#include "ui/dialogs/FormSaveReview.h"
#include "update/UpdateAddresses.h"

#include <QAction>
#include <QDockWidget>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

namespace talvoren::test {

class TNoIniFile : public IIniFileStore {
public:
    std::optional<std::vector<uint8_t>> ReadAll(const std::u16string&) override { return std::nullopt; }
    bool WriteAll(const std::u16string&, const std::vector<uint8_t>&) override { return false; }
};

// The machine as a standard user sees it where the registry's own rights
// cannot be taken away (Wine grants every write): the system scope refuses
// to open for writing.
class TReadOnlySystem : public platform::IPlatform, private platform::IRegistry {
public:
    explicit TReadOnlySystem(platform::IPlatform& base)
        : fBase(base)
    {
    }
    platform::IRegistry& registry() override { return *this; }
    platform::ISystem& system() override { return fBase.system(); }
    platform::IFileSystem& fileSystem() override { return fBase.fileSystem(); }
    platform::IProcessEnvironment& environment() override { return fBase.environment(); }
    platform::ILocale& locale() override { return fBase.locale(); }
    platform::IAccounts& accounts() override { return fBase.accounts(); }
    platform::IShell& shell() override { return fBase.shell(); }

private:
    uint32_t openKey(platform::RootKey root, const std::u16string& path, uint32_t access, bool create,
                     std::unique_ptr<platform::IRegistryKey>& key) override
    {
        constexpr uint32_t kWriteRights = 0x000D0026; // set value, create subkey, link, delete, DAC, owner
        if (root == platform::RootKey::LocalMachine && (create || (access & kWriteRights) != 0)) {
            return platform::error::kAccessDenied;
        }
        return fBase.registry().openKey(root, path, access, create, key);
    }
    uint32_t deleteKey(platform::RootKey root, const std::u16string& path) override
    {
        return root == platform::RootKey::LocalMachine ? platform::error::kAccessDenied
                                                       : fBase.registry().deleteKey(root, path);
    }
    uint32_t loadHive(const std::u16string& keyName, const std::u16string& file) override
    {
        return fBase.registry().loadHive(keyName, file);
    }
    uint32_t beginUpdate(platform::RootKey root, const std::u16string& path,
                         std::unique_ptr<platform::IRegistryUpdate>& update) override
    {
        return fBase.registry().beginUpdate(root, path, update);
    }
    uint32_t watchKey(platform::RootKey root, const std::u16string& path,
                      std::unique_ptr<platform::IKeyWatch>& watch) override
    {
        return fBase.registry().watchKey(root, path, watch);
    }
    platform::IPlatform& fBase;
};

// On Windows the suites share the machine they run on: a fixture starts
// without the settings key and leaves both environment keys as it found them.
class TRealMachineGuard {
public:
    explicit TRealMachineGuard(platform::IPlatform& platform)
        : fRegistry(platform.registry())
    {
        removeTree(platform::RootKey::CurrentUser, kSettingsKey);
        for (auto& [root, key, values] : fKeys) {
            std::unique_ptr<platform::IRegistryKey> open;
            if (fRegistry.openKey(root, key, platform::access::kRead, false, open) == platform::error::kSuccess) {
                for (const auto& name : open->valueNames()) {
                    open->queryValue(name, values[name]);
                }
            }
        }
    }
    ~TRealMachineGuard()
    {
        removeTree(platform::RootKey::CurrentUser, kSettingsKey);
        for (auto& [root, key, values] : fKeys) {
            std::unique_ptr<platform::IRegistryKey> open;
            if (fRegistry.openKey(root, key, platform::access::kAllAccess, false, open) != platform::error::kSuccess) {
                continue;
            }
            for (const auto& name : open->valueNames()) {
                if (!values.count(name)) {
                    open->deleteValue(name);
                }
            }
            for (const auto& [name, value] : values) {
                open->setValue(name, value);
            }
        }
    }

private:
    void removeTree(platform::RootKey root, const std::u16string& path)
    {
        std::unique_ptr<platform::IRegistryKey> open;
        if (fRegistry.openKey(root, path, platform::access::kRead, false, open) == platform::error::kSuccess) {
            for (const auto& sub : open->subKeyNames()) {
                removeTree(root, path + u"\\" + sub);
            }
            open.reset();
            fRegistry.deleteKey(root, path);
        }
    }

    struct TKey {
        platform::RootKey root;
        std::u16string key;
        std::map<std::u16string, platform::RegValue> values;
    };
    platform::IRegistry& fRegistry;
    std::vector<TKey> fKeys{{platform::RootKey::CurrentUser, u"Environment", {}},
                            {platform::RootKey::LocalMachine, kSystemEnvironmentKey, {}}};
};

// The window's parts as the window names them.
template <class T> T* part(QWidget& w, const char* name)
{
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        qFatal("the window has no %s", name);
    }
    return found;
}
template <class T> T& part(QWidget& w)
{
    T* found = w.findChild<T*>();
    if (!found) {
        qFatal("the window has no %s", T::staticMetaObject.className());
    }
    return *found;
}
inline TETreeView* sysVarView(QWidget& w)
{
    return part<TETreeView>(w, "SysVarTree");
}
inline TETreeView* userVarView(QWidget& w)
{
    return part<TETreeView>(w, "UserVarTree");
}
inline TETree& sysVarTree(QWidget& w)
{
    return sysVarView(w)->tree();
}
inline TETree& userVarTree(QWidget& w)
{
    return userVarView(w)->tree();
}
inline TEditActions& editActions(QWidget& w)
{
    return part<TEditActions>(w);
}
inline TFindActions& findActions(QWidget& w)
{
    return part<TFindActions>(w);
}
inline TUndoActions& undoActions(QWidget& w)
{
    return part<TUndoActions>(w);
}
inline TUndoStack& undoStack(QWidget& w)
{
    return undoActions(w).stack();
}
// The tree the commands act on.
inline TETreeView* activeView(QWidget& w)
{
    return editActions(w).activeTree();
}
inline TTreePanel* sysPanel(QWidget& w)
{
    return part<TTreePanel>(w, "tbxPanelSysTree");
}
inline TTreePanel* userPanel(QWidget& w)
{
    return part<TTreePanel>(w, "tbxPanelUserTree");
}
inline QToolButton* restartButton(QWidget& w)
{
    return part<QToolButton>(w, "btnRestartAsAdmin");
}
inline QDockWidget* informationPanel(QWidget& w)
{
    return part<QDockWidget>(w, "panelInformation");
}
inline QTabWidget* informationTabs(QWidget& w)
{
    return part<QTabWidget>(w, "tabInformation");
}
inline TInspectorGrid* inspectorGrid(QWidget& w)
{
    return &part<TInspectorGrid>(w);
}
inline QTableView* legendGrid(QWidget& w)
{
    return part<QTableView>(w, "gridLegend");
}
inline TSplitter* splitter(QWidget& w)
{
    return part<TSplitter>(w, "vSplitter");
}
// 1..4
inline TStatusField* statusField(QWidget& w, int index)
{
    return part<TStatusField>(w, ("statusLabel" + std::to_string(index)).c_str());
}

// One fresh machine and a window over it.
struct TFixture {
    explicit TFixture(bool readOnlySystem = false)
    {
        ResetAdminAccessProbe();
        // No update server: the check at start fails at once, without
        // traffic; the update suites point it at a server of their own.
        TUpdateAddresses::active() = TUpdateAddresses::fromBuild();
        TUpdateAddresses::active().server.clear();
        if (machine.prefix().empty()) {
            guard = std::make_unique<TRealMachineGuard>(machine.platform());
            if (readOnlySystem) {
                readOnly = std::make_unique<TReadOnlySystem>(machine.platform());
            }
        } else if (readOnlySystem) {
            // A standard user: the machine hive without its owner-write bit.
            namespace fs = std::filesystem;
            fs::permissions(machine.prefix() / "machine.hive",
                            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
            fresh = platform::createPlatform();
        }
        shell = std::make_unique<TRecordingPlatform>(fresh ? *fresh : readOnly ? *readOnly : machine.platform());
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
        if (reviewSaves) {
            GlobalOptions()->reviewBeforeSave = *reviewSaves;
        }
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
        TETree& tree = userVarTree(*window);
        if (TENode* node = tree.FindVariable(name)) {
            tree.SetVariableValue(node, value);
        } else {
            tree.AddVariable(name, value, kDataTypeString, false);
        }
        window->UpdateActions();
    }

    QAction* action(const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); }

    // The user tree with the keyboard focus, as after a click into it.
    void FocusUserTree()
    {
        if (!QTest::qWaitForWindowActive(window.get())) {
            qWarning("window not active");
        }
        userVarView(*window)->setFocus();
        if (!QTest::qWaitFor([&] { return activeView(*window) == userVarView(*window); })) {
            qWarning("the user tree did not take the focus");
        }
    }
    // F2 on the variable `name` of the user tree (on its element `row` when
    // that is given), then `typed` over the selected text; the editor stays open.
    QLineEdit* TypeInEditor(const std::u16string& name, int row, const QString& typed)
    {
        TETree& tree = userVarTree(*window);
        TENode* variable = tree.FindVariable(name);
        tree.ActivateNode(row < 0 ? variable : variable->Child(static_cast<size_t>(row)));
        window->UpdateActions();
        QTest::keyClick(userVarView(*window), Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(userVarView(*window)->currentEditor());
        if (editor) {
            QTest::keyClicks(editor, typed);
        }
        return editor;
    }

    TestMachine machine;
    std::unique_ptr<TRealMachineGuard> guard;
    std::unique_ptr<platform::IPlatform> fresh;
    std::unique_ptr<TReadOnlySystem> readOnly;
    std::unique_ptr<TRecordingPlatform> shell;
    TNoIniFile files;
    std::unique_ptr<TfrmMain> window;
    bool ended = false;
    // The suites save without the review unless they are about it (or,
    // with nothing, about the stored option).
    std::optional<bool> reviewSaves = false;
};

inline void resetDialogs()
{
    TfrmSaveReview::testDriver() = nullptr;
    TfrmYesNo::hook().reset();
    TfrmYesNoCancel::hook().reset();
    TfrmOK::hook().reset();
}

} // namespace talvoren::test
