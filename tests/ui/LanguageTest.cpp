// Languages: the shipped catalogues, switching the window's language at run
// time, English for a language without a catalogue, and the check that
// every text the window shows went through the translation layer and is in
// the extracted template.

#include "ui/Language.h"

#include "base/Translation.h"
#include "cli/CommandLine.h"
#include "platform/Utf.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/Credits.h"
#include "ui/FormAbout.h"
#include "ui/StatusField.h"
#include "ui/TreePanel.h"
#include "ui/UiText.h"
#include "ui/dialogs/FormAddVar.h"
#include "ui/dialogs/FormCmdHelp.h"
#include "ui/dialogs/FormExclusionVar.h"
#include "ui/dialogs/FormOptions.h"
#include "update/FormCheckForUpdate.h"
#include "update/UpdateAddresses.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <set>

using namespace talvoren;

namespace {

// A quoted line of a catalogue source, without its quotes and escapes.
QString unquoted(const QString& line)
{
    const QString body = line.trimmed().mid(1).chopped(1);
    QString out;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] != QLatin1Char('\\') || i + 1 == body.size()) {
            out += body[i];
            continue;
        }
        const QChar next = body[++i];
        out += next == QLatin1Char('n') ? QChar(u'\n')
            : next == QLatin1Char('r')  ? QChar(u'\r')
            : next == QLatin1Char('t')  ? QChar(u'\t')
                                        : next;
    }
    return out;
}

// The entries of a catalogue source (.po or the extracted .pot): message
// identifier to translation, leaving out the header and fuzzy entries.
QMap<QString, QString> catalogueEntries(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QMap<QString, QString> entries;
    QString id, text;
    QString* field = nullptr;
    bool fuzzy = false;
    const auto flush = [&] {
        if (!id.isEmpty() && !fuzzy) {
            entries.insert(id, text);
        }
        id.clear();
        text.clear();
        field = nullptr;
        fuzzy = false;
    };
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty()) {
            flush();
        } else if (line.startsWith(QLatin1String("#,"))) {
            fuzzy = fuzzy || line.contains(QLatin1String("fuzzy"));
        } else if (line.startsWith(QLatin1String("msgid "))) {
            field = &id;
            id += unquoted(line.mid(6));
        } else if (line.startsWith(QLatin1String("msgstr "))) {
            field = &text;
            text += unquoted(line.mid(7));
        } else if (line.startsWith(QLatin1Char('"')) && field) {
            *field += unquoted(line);
        }
    }
    flush();
    return entries;
}

// The message identifiers of the extracted template.
QSet<QString> templateIds()
{
    const QStringList ids = catalogueEntries(QStringLiteral(TALVOREN_TEST_POT)).keys();
    return QSet<QString>(ids.begin(), ids.end());
}

std::set<std::string>& seenIds()
{
    static std::set<std::string> ids;
    return ids;
}

// Marks every text it hands out, so that a text without the marks never
// passed through the layer.
std::u16string markingTranslator(const char* messageId)
{
    seenIds().insert(messageId);
    return u"\u2039" + platform::fromUtf8(messageId) + u"\u203A";
}

} // namespace

class TLanguageTest : public QObject {
    Q_OBJECT

    // A shown text that carries no mark of the translator, unless it is
    // data: no letters (numbers, versions), a web address or the name.
    static void checkText(QObject* o, const QString& what, const QString& text, QStringList& escaped)
    {
        const QString plain = QString(text).remove(QRegularExpression(QStringLiteral("<[^>]*>"))).trimmed();
        const bool data = !plain.contains(QRegularExpression(QStringLiteral("[A-Za-z]")))
            || plain.contains(QLatin1String("://")) || plain == QLatin1String("Talvoren");
        if (!data && !plain.contains(QChar(0x2039))) {
            escaped << o->metaObject()->className() + QLatin1Char(' ') + o->objectName() + QLatin1Char('.') + what
                    + QStringLiteral(": ") + text;
        }
    }

    // Every caption, hint, title, header and tab of a window and its parts.
    static void checkTexts(QWidget& root, QStringList& escaped)
    {
        if (root.isWindow()) {
            checkText(&root, QStringLiteral("title"), root.windowTitle(), escaped);
        }
        for (QAction* a : root.findChildren<QAction*>()) {
            if (!a->isSeparator()) {
                checkText(a, QStringLiteral("text"), a->text(), escaped);
                checkText(a, QStringLiteral("toolTip"), a->toolTip(), escaped);
            }
        }
        for (QWidget* c : root.findChildren<QWidget*>()) {
            checkText(c, QStringLiteral("toolTip"), c->toolTip(), escaped);
            if (auto* l = qobject_cast<QLabel*>(c)) {
                checkText(c, QStringLiteral("text"), l->text(), escaped);
            } else if (auto* b = qobject_cast<QAbstractButton*>(c)) {
                checkText(c, QStringLiteral("text"), b->text(), escaped);
            } else if (auto* g = qobject_cast<QGroupBox*>(c)) {
                checkText(c, QStringLiteral("title"), g->title(), escaped);
            } else if (auto* e = qobject_cast<QLineEdit*>(c)) {
                checkText(c, QStringLiteral("placeholder"), e->placeholderText(), escaped);
            } else if (auto* t = qobject_cast<QTabWidget*>(c)) {
                for (int i = 0; i < t->count(); ++i) {
                    checkText(c, QStringLiteral("tab"), t->tabText(i), escaped);
                }
            } else if (auto* h = qobject_cast<QHeaderView*>(c); h && !h->isHidden() && h->model()) {
                for (int i = 0; i < h->count(); ++i) {
                    checkText(c, QStringLiteral("header"),
                              h->model()->headerData(i, h->orientation(), Qt::DisplayRole).toString(), escaped);
                }
            }
            if (qobject_cast<QDockWidget*>(c) || qobject_cast<QToolBar*>(c) || qobject_cast<QMenu*>(c)) {
                checkText(c, QStringLiteral("title"), c->windowTitle(), escaped);
            }
        }
        // The legend explains the images in words; every cell is a text.
        if (auto* legend = root.findChild<QTableView*>(QStringLiteral("gridLegend"))) {
            QAbstractItemModel* model = legend->model();
            for (int row = 0; row < model->rowCount(); ++row) {
                for (int column = 0; column < model->columnCount(); ++column) {
                    checkText(legend, QStringLiteral("cell"), model->index(row, column).data().toString(), escaped);
                }
            }
        }
    }

private slots:
    void initTestCase() { UseCatalogueFolder(TALVOREN_TEST_LOCALE_DIR); }
    void cleanup()
    {
        setTranslator(nullptr);
        SelectLanguage("en");
        TfrmOptions::testDriver() = nullptr;
        TfrmExclusionVar::testDriver() = nullptr;
        TfrmAbout::testDriver() = nullptr;
        TfrmCheckForUpdate::testDriver() = nullptr;
        TfrmAddVar::setDriver({});
        TUpdateAddresses::active() = TUpdateAddresses::fromBuild();
    }

    // Each shipped catalogue translates every text of the template, and the
    // program finds it: what tr() gives is the catalogue's translation.
    void shippedCataloguesTranslateTheTemplate()
    {
        const QSet<QString> ids = templateIds();
        QVERIFY(ids.size() > 100);
        InitCatalogues(TALVOREN_TEST_LOCALE_DIR);
        // GNU libintl passes over LANGUAGE while the environment names the
        // "C" locale, as a Unix-like shell on Windows may leave it.
        qputenv("LC_ALL", "C");
        const auto restore = qScopeGuard([] { qunsetenv("LC_ALL"); });
        for (const char* code : {"de", "fr", "es", "ru", "ja", "pt_br"}) {
            const QMap<QString, QString> entries
                = catalogueEntries(QStringLiteral(TALVOREN_TEST_PO_DIR "/") + QLatin1String(code) + ".po");
            QStringList untranslated;
            for (const QString& id : ids) {
                if (entries.value(id).isEmpty()) {
                    untranslated << id;
                }
            }
            QVERIFY2(untranslated.isEmpty(),
                     qPrintable(QLatin1String(code) + QStringLiteral(": ") + untranslated.join(QStringLiteral(" | "))));
            SelectLanguage(code);
            for (const QString& id : ids) {
                const QByteArray utf8 = id.toUtf8();
                const QString text = toQ(talvoren::tr(utf8.constData()));
                QVERIFY2(text == entries.value(id), qPrintable(QLatin1String(code) + QStringLiteral(": ") + id));
                QCOMPARE(text.count(QLatin1String("%s")), id.count(QLatin1String("%s")));
                QCOMPARE(text.count(QLatin1Char('&')), id.count(QLatin1Char('&')));
            }
        }
        // A language without a catalogue, and a code that names none.
        for (const char* code : {"ab", "xx"}) {
            SelectLanguage(code);
            QCOMPARE(toQ(talvoren::tr("Save")), QStringLiteral("Save"));
        }
    }

    void windowStartsInStoredLanguageAndSwitchesAtRunTime()
    {
        test::TFixture f;
        {
            TEnvStore store(f.platform().registry(), platform::RootKey::CurrentUser);
            QVERIFY(store.OpenKey(kSettingsKey, true));
            store.WriteString(u"language", u"German");
        }
        TfrmMain& w = f.Open();
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboLanguages"));
        QVERIFY(combo->isEnabled());
        QCOMPARE(combo->currentText(), QStringLiteral("Deutsch"));
        QCOMPARE(f.action("actFileSave")->text(), QStringLiteral("Speichern"));
        auto* fileMenu = w.menuBar()->actions().first();
        QCOMPARE(fileMenu->text(), QStringLiteral("&Datei"));
        // Qt's own texts in the standard dialogs follow: its catalogues are
        // shipped beside the Windows executable, and installed with Qt here.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));

        w.SetUpdateStatus(7, u"Can't retrieve version info");
        combo->setCurrentIndex(combo->findText(QStringLiteral("日本語")));
        auto* field4 = w.findChild<TStatusField*>(QStringLiteral("statusLabel4"));
        QCOMPARE(field4->text(), QStringLiteral("バージョン情報を取得できません"));
        QCOMPARE(field4->image(), 7);
        QCOMPARE(f.action("actFileSave")->text(), QStringLiteral("保存"));
        QVERIFY(w.findChild<QComboBox*>(QStringLiteral("comboUsers"))
                    ->currentText()
                    .endsWith(QStringLiteral(" [ログイン中]")));
        QVERIFY(w.windowTitle().contains(QStringLiteral(" ビルド ")));
        QCOMPARE(fileMenu->text(), QStringLiteral("ファイル(&F)"));
        QCOMPARE(w.findChild<QDockWidget*>()->windowTitle(), QStringLiteral("情報"));
        // The panel captions are shown elided; the full caption is translated.
        QCOMPARE(w.findChild<TTreePanel*>(QStringLiteral("tbxPanelSysTree"))->caption(),
                 QStringLiteral("システム環境変数"));

        // English again, not stuck in Japanese; the setting keeps the
        // English name older versions stored.
        combo->setCurrentIndex(combo->findText(QStringLiteral("English")));
        QCOMPARE(f.action("actFileSave")->text(), QStringLiteral("Save"));
        QCOMPARE(fileMenu->text(), QStringLiteral("&File"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        combo->setCurrentIndex(combo->findText(QStringLiteral("Português (Brasil)")));
        w.StoreWindowSettings();
        QCOMPARE(toQ(GlobalOptions()->language()), QStringLiteral("Brazilian Portuguese"));
    }

    // The selector offers English and the languages whose catalogue is in
    // the locale folder, each in its own name: one added later appears by
    // itself, and a stored language without a catalogue starts in English.
    void selectorListsTheCataloguesInTheirOwnNames()
    {
        QTemporaryDir locale;
        const QString shipped = QStringLiteral(TALVOREN_TEST_LOCALE_DIR);
        for (const QString& code : QDir(shipped).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QVERIFY(QDir().mkpath(locale.filePath(code + QStringLiteral("/LC_MESSAGES"))));
            QVERIFY(QFile::copy(shipped + QLatin1Char('/') + code + QStringLiteral("/LC_MESSAGES/default.mo"),
                                locale.filePath(code + QStringLiteral("/LC_MESSAGES/default.mo"))));
        }
        // Italian and Catalan (outside the built-in names) arrive with a
        // catalogue; Czech has a folder but no file.
        QVERIFY(QDir().mkpath(locale.filePath(QStringLiteral("it/LC_MESSAGES"))));
        QVERIFY(QFile::copy(shipped + QStringLiteral("/de/LC_MESSAGES/default.mo"),
                            locale.filePath(QStringLiteral("it/LC_MESSAGES/default.mo"))));
        QVERIFY(QDir().mkpath(locale.filePath(QStringLiteral("ca/LC_MESSAGES"))));
        QVERIFY(QFile::copy(shipped + QStringLiteral("/fr/LC_MESSAGES/default.mo"),
                            locale.filePath(QStringLiteral("ca/LC_MESSAGES/default.mo"))));
        QVERIFY(QDir().mkpath(locale.filePath(QStringLiteral("cz/LC_MESSAGES"))));
        UseCatalogueFolder(locale.path().toStdString());
        const auto restore = qScopeGuard([] {
            UseCatalogueFolder(TALVOREN_TEST_LOCALE_DIR);
            InitCatalogues(TALVOREN_TEST_LOCALE_DIR);
        });
        for (const char16_t* stored : {u"Abkhazian", u"Czech", u"Italian"}) {
            test::TFixture f;
            {
                TEnvStore store(f.platform().registry(), platform::RootKey::CurrentUser);
                QVERIFY(store.OpenKey(kSettingsKey, true));
                store.WriteString(u"language", stored);
            }
            TfrmMain& w = f.Open();
            auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboLanguages"));
            QStringList items;
            for (int i = 0; i < combo->count(); ++i) {
                items << combo->itemText(i);
            }
            QCOMPARE(items,
                     QStringList({QStringLiteral("English"), QStringLiteral("Català"), QStringLiteral("Deutsch"),
                                  QStringLiteral("Español"), QStringLiteral("Français"), QStringLiteral("Italiano"),
                                  QStringLiteral("日本語"), QStringLiteral("Português (Brasil)"),
                                  QStringLiteral("Русский")}));
            const bool italian = std::u16string(stored) == u"Italian";
            QCOMPARE(combo->currentText(), italian ? QStringLiteral("Italiano") : QStringLiteral("English"));
            // The copied German catalogue proves the new one is the one used.
            QCOMPARE(f.action("actFileSave")->text(), italian ? QStringLiteral("Speichern") : QStringLiteral("Save"));
            w.StoreWindowSettings();
            QCOMPARE(toQ(GlobalOptions()->language()), italian ? QStringLiteral("Italian") : QStringLiteral("English"));
        }
    }

    // The skin selector lists "Default" first and the others sorted; the
    // stored skin is applied at start, an unknown one selects the first
    // item, and a choice takes effect at once.
    void skinsFollowTheSettingAndTheSelector()
    {
        for (const char16_t* stored : {u"Fusion", u"No such skin"}) {
            test::TFixture f;
            {
                TEnvStore store(f.platform().registry(), platform::RootKey::CurrentUser);
                QVERIFY(store.OpenKey(kSettingsKey, true));
                store.WriteString(u"skin", stored);
            }
            TfrmMain& w = f.Open();
            auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboSkins"));
            QStringList items;
            for (int i = 0; i < combo->count(); ++i) {
                items << combo->itemText(i);
            }
            QCOMPARE(items.first(), QStringLiteral("Default"));
            QStringList rest = items.mid(1), sorted = rest;
            sorted.sort(Qt::CaseInsensitive);
            QCOMPARE(rest, sorted);
            QVERIFY(items.contains(QStringLiteral("Dark")));
            if (std::u16string(stored) == u"Fusion") {
                QCOMPARE(combo->currentText(), QStringLiteral("Fusion"));
                const auto* proxy = qobject_cast<QProxyStyle*>(QApplication::style());
                QVERIFY(proxy);
                QCOMPARE(proxy->baseStyle()->name().toLower(), QStringLiteral("fusion"));
            } else {
                QCOMPARE(combo->currentIndex(), 0);
            }
            combo->setCurrentIndex(0);
            const QColor standard = QApplication::palette().color(QPalette::Window);
            combo->setCurrentIndex(combo->findText(QStringLiteral("Dark")));
            QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 64);
            combo->setCurrentIndex(0);
            QCOMPARE(QApplication::palette().color(QPalette::Window), standard);
            w.StoreWindowSettings();
            QCOMPARE(toQ(GlobalOptions()->skin), QStringLiteral("Default"));
        }
    }

    // Every text that the window and its dialogs show went through the
    // translation layer (the marking translator brackets each one), and
    // every identifier that was asked for is in the extracted template.
    void everyShownTextIsTranslatedAndExtracted()
    {
        const QSet<QString> ids = templateIds();
        QVERIFY(!ids.isEmpty());
        seenIds().clear();
        setTranslator(markingTranslator);
        test::TFixture f;
        {
            TEnvStore store(f.platform().registry(), platform::RootKey::CurrentUser);
            QVERIFY(store.OpenKey(std::u16string(kSettingsKey) + u"\\Exclusions", true));
            store.WriteInteger(u"PATHEXT", 1);
        }
        f.SeedSetting(u"checkForUpdates", 0);
        TfrmMain& w = f.Open();

        QStringList escaped;
        checkTexts(w, escaped);

        TfrmExclusionVar::testDriver() = [&](TfrmExclusionVar& dialog) {
            checkTexts(dialog, escaped);
            dialog.editName->setText(QStringLiteral(" "));
            checkTexts(dialog, escaped);
            dialog.editName->setText(QStringLiteral("pathext"));
            checkTexts(dialog, escaped);
            dialog.editName->setText(QStringLiteral("NEW"));
            dialog.chkNotSplit->setChecked(false);
            dialog.chkNotCheck->setChecked(false);
            checkTexts(dialog, escaped);
        };
        TfrmOptions::testDriver() = [&](TfrmOptions& dialog) {
            checkTexts(dialog, escaped);
            dialog.actAdd->trigger();
        };
        f.action("actFileOptions")->trigger();
        TfrmAbout::testDriver() = [&](TfrmAbout& box) {
            checkTexts(box, escaped);
            for (const QString& line : box.credits->credits()) {
                checkText(box.credits, QStringLiteral("credit"), line, escaped);
            }
        };
        f.action("actHelpAbout")->trigger();
        bool updateShown = false;
        TfrmCheckForUpdate::testDriver() = [&](TfrmCheckForUpdate& dialog) {
            updateShown = true;
            checkTexts(dialog, escaped);
        };
        TUpdateAddresses::active().server = u"http://127.0.0.1:1"; // nobody answers there
        f.action("actHelpCheckUpdates")->trigger();
        QTRY_VERIFY(updateShown);
        TfrmAddVar::setDriver([&](TfrmAddVar& dialog) {
            checkTexts(dialog, escaped);
            dialog.editName->setText(QStringLiteral("PATHEXT"));
            checkTexts(dialog, escaped);
            return int(QDialog::Rejected);
        });
        f.action("actEditAddVariable")->trigger();
        const auto inModal = [&](const std::function<void()>& open) {
            bool seen = false;
            QTimer::singleShot(0, [&] {
                if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    seen = true;
                    checkTexts(*dialog, escaped);
                    dialog->reject();
                }
            });
            open();
            QVERIFY(seen);
        };
        inModal([&] { f.action("actEditFind")->trigger(); });
        inModal([&] { TfrmCmdHelp::createAndShowModal(f.platform()); });
        escaped.removeDuplicates();
        QVERIFY2(escaped.isEmpty(), qPrintable(escaped.join(QLatin1Char('\n'))));

        // The help table is translated from its own table of identifiers.
        for (const auto& line : CommandHelpLines()) {
            seenIds().insert(line.option);
            if (*line.description) {
                seenIds().insert(line.description);
            }
        }
        QStringList missing;
        for (const std::string& id : seenIds()) {
            if (!ids.contains(QString::fromStdString(id))) {
                missing << QString::fromStdString(id);
            }
        }
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("not extracted: ") + missing.join(QStringLiteral(" | "))));
    }
};

QTEST_MAIN(TLanguageTest)
#include "LanguageTest.moc"
