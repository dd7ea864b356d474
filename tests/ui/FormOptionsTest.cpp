// The options dialog and the exclusion dialog, driven through the main
// window's "Options..." command over the emulated registry.

#include "ui/dialogs/FormOptions.h"

#include "base/Error.h"
#include "settings/Exclusions.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/ETreeView.h"
#include "ui/ExecutableIniStore.h"
#include "ui/MainWindowEntry.h"
#include "ui/dialogs/FormExclusionVar.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace talvoren;
using namespace talvoren::test;

namespace {

QStringList rows(const TfrmOptions& form)
{
    QStringList names;
    for (int i = 0; i < form.treeVars->topLevelItemCount(); ++i) {
        names << form.treeVars->topLevelItem(i)->text(0);
    }
    return names;
}

} // namespace

class FormOptionsTest : public QObject {
    Q_OBJECT
private slots:
    // A settings file beside the test program, left by a run that stopped
    // half way, would put every test in portable mode.
    void init() { std::filesystem::remove(TExecutableIniStore::hostIniPath().toStdString()); }

    void cleanup()
    {
        TfrmOptions::testDriver() = nullptr;
        TfrmExclusionVar::testDriver() = nullptr;
        resetDialogs();
    }

    // Typing in the exclusion dialog: each rule refuses with its message and
    // "OK" follows; nothing is enabled before the user changes something.
    void exclusionDialogValidates()
    {
        TExclusions list;
        list.Add(u"PATH", true, false);
        list.Add(u"path2", false, true);
        TfrmExclusionVar form(list, u"path2");
        QVERIFY(!form.btnOk->isEnabled());
        QVERIFY(form.chkNotSplit->isChecked());
        QVERIFY(!form.chkNotCheck->isChecked());

        const auto expect = [&](const QString& text, const char* message) {
            form.editName->setText(text);
            QCOMPARE(form.lblErrorMessage->text(), QString::fromLatin1(message));
            QCOMPARE(form.btnOk->isEnabled(), message[0] == 0);
        };
        expect(QStringLiteral("   "), "Variable name can't be empty");
        expect(QStringLiteral("path"), "This variable already exists");
        expect(QStringLiteral("PATH2"), "This variable already exists"); // renaming by case only
        expect(QStringLiteral("path2"), "");
        form.chkNotSplit->click();
        QCOMPARE(form.lblErrorMessage->text(), QStringLiteral("At least one option must be selected"));
        QVERIFY(!form.btnOk->isEnabled());
        form.chkNotCheck->click();
        QVERIFY(form.lblErrorMessage->text().isEmpty());
        form.editName->setText(QStringLiteral("  TEMP "));
        form.btnOk->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!list.ContainsKey(u"path2"));
        QVERIFY(list.isSplit(u"TEMP"));
        QVERIFY(!list.isCheck(u"TEMP"));
    }

    // "PATH" with an ideographic space is "PATH" for the check as for the
    // store, so OK never meets a clash; and an error that escapes a handler
    // anyway ends in the error dialog with the program still running.
    void oneTrimmingRuleAndNoErrorThroughTheEventLoop()
    {
        TExclusions list;
        list.Add(u"PATH", true, false);
        TfrmExclusionVar adding(list, u"");
        adding.editName->setText(QStringLiteral("PATH\u3000"));
        QCOMPARE(adding.lblErrorMessage->text(), QStringLiteral("This variable already exists"));
        adding.btnOk->click();
        QCOMPARE(adding.result(), int(QDialog::Rejected));

        TfrmExclusionVar editing(list, u"PATH");
        editing.editName->setText(QStringLiteral("\u3000PATH\u3000"));
        QVERIFY(editing.btnOk->isEnabled());
        editing.btnOk->click();
        QCOMPARE(editing.result(), int(QDialog::Accepted));
        QCOMPARE(list.Count(), size_t(1));
        QCOMPARE(list.GetKey(0), u"PATH");

        QVERIFY(dynamic_cast<TApplication*>(QCoreApplication::instance()));
        QPushButton button(QStringLiteral("throws"));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&] {
            ++clicks;
            throw TError(u"the handler failed");
        });
        button.show();
        TfrmOK::setNextAnswer(mrOk);
        TfrmOK::setNextAnswer(mrOk);
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(TfrmOK::hook().asked(),
                 (QStringList{QStringLiteral("the handler failed"), QStringLiteral("the handler failed")}));
    }

    // Add (with a cancelled add first), edit and delete in the dialog, then
    // "OK": the options are saved at once, the trees are told once per old
    // and new entry, and a second window starts with the same settings.
    void roundTripThroughRegistry()
    {
        TFixture f;
        f.SeedSetting(u"onDeleteConfirmation", 1);
        TfrmMain& window = f.Open(false);
        TOptions* options = GlobalOptions();
        QVERIFY(options);
        options->GetExclusions().Add(u"b", false, true);
        options->GetExclusions().Add(u"a", true, false);
        int notified = 0;
        options->GetExclusions().AddOnChange([&] { ++notified; });

        QStringList afterAdd;
        std::vector<int> answers{0, 1};
        TfrmExclusionVar::testDriver() = [&](TfrmExclusionVar& dialog) {
            const int answer = answers.front();
            answers.erase(answers.begin());
            if (answer == 0) {
                dialog.reject();
                return;
            }
            dialog.editName->setText(QStringLiteral("C"));
            dialog.btnOk->click();
        };
        TfrmOptions::testDriver() = [&](TfrmOptions& dialog) {
            QVERIFY(dialog.cbOnDeleteConfirmation->isChecked());
            QVERIFY(!dialog.cbOnExitConfirmation->isChecked());
            QVERIFY(!dialog.actEdit->isEnabled());
            dialog.actAdd->trigger(); // cancelled: the placeholder goes again
            QCOMPARE(rows(dialog), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
            dialog.actAdd->trigger();
            QCOMPARE(rows(dialog), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("C")}));
            dialog.treeVars->setCurrentItem(dialog.treeVars->topLevelItem(2));
            dialog.actDelete->trigger(); // the last row: the one before takes the focus
            QCOMPARE(dialog.treeVars->currentItem()->text(0), QStringLiteral("b"));
            dialog.actDelete->trigger();
            QCOMPARE(rows(dialog), QStringList{QStringLiteral("a")});
            QCOMPARE(options->GetExclusions().Count(), size_t(2)); // only the copy changed so far
            dialog.cbOnExitConfirmation->setChecked(true);
            dialog.cbAnimation->setChecked(false);
            dialog.btnOkClick();
        };
        f.action("actFileOptions")->trigger();
        QCOMPARE(notified, 2 + 1);
        QVERIFY(options->onExitConfirmation);
        QVERIFY(!sysVarView(window)->isAnimated());
        QVERIFY(f.SettingsSaved());

        f.window.reset();
        TfrmMain& again = f.Open(false);
        Q_UNUSED(again);
        TOptions* reloaded = GlobalOptions();
        QVERIFY(reloaded->onExitConfirmation);
        QVERIFY(reloaded->onDeleteConfirmation);
        QVERIFY(!reloaded->isAnimation);
        QCOMPARE(reloaded->GetExclusions().Count(), size_t(1));
        QVERIFY(!reloaded->GetExclusions().isCheck(u"A"));
    }

    // The settings file beside the executable: "OK" rewrites it at once in
    // USB mode and leaves a read-only one (CD mode) untouched.
    void roundTripThroughIniFile()
    {
        namespace fs = std::filesystem;
        const fs::path host = TExecutableIniStore::hostIniPath().toStdString();
        const auto readFile = [&] {
            std::ifstream in(host, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            return text.str();
        };
        for (const bool readOnly : {false, true}) {
            fs::remove(host);
            std::ofstream(host, std::ios::binary) << "[Talvoren]\r\nonDeleteConfirmation=1\r\n";
            if (readOnly) {
                fs::permissions(host, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                fs::perm_options::remove);
            }
            const std::string before = readFile();
            TFixture f;
            TExecutableIniStore store(ChangeFileExt(f.platform().system().executablePath(), u".ini"),
                                      TExecutableIniStore::hostIniPath());
            f.window = std::make_unique<TfrmMain>(f.platform(), store);
            TOptions* options = GlobalOptions();
            QCOMPARE(options->isCD(), readOnly);
            QCOMPARE(options->isUSB(), !readOnly);
            TfrmExclusionVar::testDriver() = [](TfrmExclusionVar& dialog) {
                dialog.editName->setText(QStringLiteral("TEMP"));
                dialog.btnOk->click();
            };
            TfrmOptions::testDriver() = [](TfrmOptions& dialog) {
                QVERIFY(dialog.cbOnDeleteConfirmation->isChecked());
                dialog.cbCheckForUpdates->setChecked(false);
                QVERIFY(dialog.cbReviewBeforeSave->isChecked());
                dialog.cbReviewBeforeSave->setChecked(false);
                dialog.actAdd->trigger();
                dialog.btnOkClick();
            };
            f.action("actFileOptions")->trigger();
            QVERIFY(!options->checkForUpdates);
            QVERIFY(!options->reviewBeforeSave);
            QVERIFY(!options->GetExclusions().isSplit(u"temp"));
            const std::string after = readFile();
            if (readOnly) {
                QCOMPARE(after, before);
            } else {
                QVERIFY(after.find("checkForUpdates=0") != std::string::npos);
                QVERIFY(after.find("reviewBeforeSave=0") != std::string::npos);
                QVERIFY(after.find("[Exclusions]\r\nTEMP=3") != std::string::npos);
            }
            f.window.reset();
            fs::permissions(host, fs::perms::owner_write, fs::perm_options::add);
        }
        fs::remove(host);
    }

    // The settings file turns into something that cannot be written while
    // the dialog is open: "OK" through the dialog's own loop keeps the new
    // values in memory and reports the failure.
    void aFailedSaveIsReported()
    {
        namespace fs = std::filesystem;
        const fs::path host = TExecutableIniStore::hostIniPath().toStdString();
        std::ofstream(host, std::ios::binary) << "[Talvoren]\r\ncheckForUpdates=1\r\n";
        TFixture f;
        TExecutableIniStore store(ChangeFileExt(f.platform().system().executablePath(), u".ini"),
                                  TExecutableIniStore::hostIniPath());
        f.window = std::make_unique<TfrmMain>(f.platform(), store);
        QVERIFY(GlobalOptions()->isUSB());
        TfrmOK::setNextAnswer(mrOk);
        bool clicked = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<TfrmOptions*>(QApplication::activeModalWidget());
            if (!form) {
                return; // "clicked" stays false
            }
            form->cbCheckForUpdates->setChecked(false);
            fs::remove(host);
            fs::create_directory(host);
            for (QPushButton* button : form->findChildren<QPushButton*>()) {
                if (button->text() == QStringLiteral("OK")) {
                    button->click();
                    clicked = true;
                }
            }
        });
        f.action("actFileOptions")->trigger();
        QVERIFY(clicked);
        QVERIFY(!GlobalOptions()->checkForUpdates);
        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
        QVERIFY2(TfrmOK::hook().asked()[0].contains(QStringLiteral(".ini")), qPrintable(TfrmOK::hook().asked()[0]));
        fs::remove_all(host); // lets the close save again
        f.window.reset();
        fs::remove(host);
    }
};

// The program's own application object, as the window runs on it.
int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    FormOptionsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "FormOptionsTest.moc"
