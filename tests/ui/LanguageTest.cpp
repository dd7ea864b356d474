// Languages: the shipped catalogues, switching the window's language at run
// time, English for a language without a catalogue, and the check that
// every text the window shows went through the translation layer and is in
// the extracted template.

#include "ui/Language.h"

#include "base/Translation.h"
#include "cli/CommandLine.h"
#include "platform/Utf.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/StatusField.h"
#include "ui/TreePanel.h"
#include "ui/UiText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QToolBar>
#include <set>

using namespace talvoren;

namespace {

// The message identifiers of the extracted template.
QSet<QString> templateIds()
{
    QFile file(QStringLiteral(TALVOREN_TEST_POT));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QSet<QString> ids;
    QString current;
    bool inId = false;
    const QRegularExpression quoted(QStringLiteral("^(?:msgid )?\"(.*)\"$"));
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("msgid "))) {
            inId = true;
            current.clear();
        } else if (!line.startsWith(QLatin1Char('"'))) {
            if (inId && !current.isEmpty()) {
                ids.insert(current);
            }
            inId = false;
            continue;
        }
        if (inId) {
            QString part = quoted.match(line).captured(1);
            part.replace(QLatin1String("\\r"), QLatin1String("\r"))
                .replace(QLatin1String("\\n"), QLatin1String("\n"))
                .replace(QLatin1String("\\\""), QLatin1String("\""))
                .replace(QLatin1String("\\\\"), QLatin1String("\\"));
            current += part;
        }
    }
    return ids;
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
private slots:
    void initTestCase() { UseCatalogueFolder(TALVOREN_TEST_LOCALE_DIR); }
    void cleanup()
    {
        setTranslator(nullptr);
        SelectLanguage("en");
    }

    void shippedCataloguesTranslateTheTemplate()
    {
        const QSet<QString> ids = templateIds();
        QVERIFY(ids.size() > 100);
        InitCatalogues(TALVOREN_TEST_LOCALE_DIR);
        for (const char* code : {"de", "fr", "es", "ru", "ja", "pt_br"}) {
            SelectLanguage(code);
            int translated = 0;
            for (const QString& id : ids) {
                const QByteArray utf8 = id.toUtf8();
                const QString text = toQ(talvoren::tr(utf8.constData()));
                translated += text != id;
                QCOMPARE(text.count(QLatin1String("%s")), id.count(QLatin1String("%s")));
                QCOMPARE(text.count(QLatin1Char('&')), id.count(QLatin1Char('&')));
            }
            // Options such as "-C" and a few words stay as they are.
            QVERIFY2(translated > ids.size() * 85 / 100, code);
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
        QCOMPARE(combo->count(), 30);
        QCOMPARE(combo->currentText(), QStringLiteral("German"));
        QCOMPARE(f.action("actFileSave")->text(), QStringLiteral("Speichern"));
        auto* fileMenu = w.menuBar()->actions().first();
        QCOMPARE(fileMenu->text(), QStringLiteral("&Datei"));
        // Qt's own texts in the standard dialogs follow: its catalogues are
        // shipped beside the Windows executable, and installed with Qt here.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));

        w.SetUpdateStatus(7, u"Can't retrieve version info");
        combo->setCurrentIndex(combo->findText(QStringLiteral("Japanese")));
        auto* field4 = w.findChild<TStatusField*>(QStringLiteral("statusLabel4"));
        QCOMPARE(field4->text(), QStringLiteral("バージョン情報を取得できません"));
        QCOMPARE(field4->image(), 7);
        QCOMPARE(f.action("actFileSave")->text(), QStringLiteral("保存"));
        QCOMPARE(fileMenu->text(), QStringLiteral("ファイル(&F)"));
        QCOMPARE(w.findChild<QDockWidget*>()->windowTitle(), QStringLiteral("情報"));
        // The panel captions are shown elided; the full caption is translated.
        QCOMPARE(w.findChild<TTreePanel*>(QStringLiteral("tbxPanelSysTree"))->caption(),
                 QStringLiteral("システム環境変数"));

        // No catalogue: back to English, not stuck in Japanese.
        combo->setCurrentIndex(combo->findText(QStringLiteral("Abkhazian")));
        QCOMPARE(f.action("actFileSave")->text(), QStringLiteral("Save"));
        QCOMPARE(fileMenu->text(), QStringLiteral("&File"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));

        w.StoreWindowSettings();
        QCOMPARE(toQ(GlobalOptions()->language()), QStringLiteral("Abkhazian"));
    }

    void skinsListDefaultFirst()
    {
        const QStringList skins = SkinNames();
        QCOMPARE(skins.first(), QStringLiteral("Default"));
        QStringList rest = skins.mid(1);
        QStringList sorted = rest;
        sorted.sort(Qt::CaseInsensitive);
        QCOMPARE(rest, sorted);
        QVERIFY(skins.contains(QStringLiteral("Fusion")));
    }

    void everyWindowTextIsTranslatedAndExtracted()
    {
        const QSet<QString> ids = templateIds();
        QVERIFY(!ids.isEmpty());
        seenIds().clear();
        setTranslator(markingTranslator);
        test::TFixture f;
        TfrmMain& w = f.Open();

        QStringList escaped;
        auto check = [&](QObject* o, const QString& what, const QString& text) {
            const QString plain = QString(text).remove(QRegularExpression(QStringLiteral("<[^>]*>")));
            if (!plain.trimmed().isEmpty() && !plain.contains(QChar(0x2039))) {
                escaped << o->objectName() + QLatin1Char('.') + what + QStringLiteral(": ") + text;
            }
        };
        for (QAction* a : w.findChildren<QAction*>()) {
            if (!a->isSeparator()) {
                check(a, QStringLiteral("text"), a->text());
                check(a, QStringLiteral("toolTip"), a->toolTip());
            }
        }
        for (QWidget* c : w.findChildren<QWidget*>()) {
            check(c, QStringLiteral("toolTip"), c->toolTip());
            if (auto* l = qobject_cast<QLabel*>(c)) {
                check(c, QStringLiteral("text"), l->text());
            } else if (auto* b = qobject_cast<QAbstractButton*>(c)) {
                check(c, QStringLiteral("text"), b->text());
            }
            if (qobject_cast<QDockWidget*>(c) || qobject_cast<QToolBar*>(c) || qobject_cast<QMenu*>(c)) {
                check(c, QStringLiteral("title"), c->windowTitle());
            }
        }
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
