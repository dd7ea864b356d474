#include "ui/Language.h"

#include "base/Translation.h"
#include "ui/UiText.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <map>

namespace talvoren {

namespace {

// Qt names some languages differently from the catalogue codes.
QString qtLanguage(const std::string& code)
{
    static const std::map<std::string, QString> names = {{"pt_br", QStringLiteral("pt_BR")},
                                                         {"cz", QStringLiteral("cs")},
                                                         {"zh", QStringLiteral("zh_CN")},
                                                         {"no", QStringLiteral("nn")}};
    const auto it = names.find(code);
    return it == names.end() ? QString::fromStdString(code) : it->second;
}

QTranslator* gQtTranslator = nullptr;

bool HasCatalogue(const std::string& code)
{
    return QFile::exists(QString::fromStdString(CatalogueFolder() + "/" + code + "/LC_MESSAGES/default.mo"));
}

void loadQtTranslations(const std::string& code)
{
    if (gQtTranslator) {
        QCoreApplication::removeTranslator(gQtTranslator);
        delete gQtTranslator;
        gQtTranslator = nullptr;
    }
    // Qt's dialogs speak the interface's language: English where the
    // interface has no catalogue.
    if (code == "en" || code == "en_US" || !HasCatalogue(code)) {
        return;
    }
    auto* translator = new QTranslator;
    const QString file = QStringLiteral("qtbase_") + qtLanguage(code);
    // Shipped beside the executable, or those of the Qt installation.
    const QString besides = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    if (translator->load(file, besides) || translator->load(file, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        gQtTranslator = translator;
    } else {
        delete translator;
    }
}

QString again(const QString& shown)
{
    if (shown.isEmpty()) {
        return shown;
    }
    // Texts that never came from the catalogue (names, elided or derived
    // texts) are left alone.
    const std::u16string english = englishOf(fromQ(shown));
    if (english.empty()) {
        return shown;
    }
    return toQ(tr(QString::fromStdU16String(english).toUtf8().constData()));
}

// Style sheets offered next to the styles.
const std::map<QString, QString>& styleSheets()
{
    static const std::map<QString, QString> sheets = {
        {QStringLiteral("Dark"),
         QStringLiteral("QWidget { background-color: #2b2b2b; color: #e0e0e0; }"
                        "QTreeView, QTableView, QLineEdit, QComboBox { background-color: #1e1e1e; "
                        "alternate-background-color: #262626; selection-background-color: #3d6a99; }"
                        "QToolBar { border: none; } QMenu::item:selected { background-color: #3d6a99; }")},
        {QStringLiteral("Ocean"),
         QStringLiteral("QMainWindow, QDialog, QToolBar, QStatusBar, QMenuBar { background-color: #e6f0f8; }"
                        "QTreeView, QTableView { selection-background-color: #2f7dbd; }"
                        "QDockWidget::title { background-color: #c4dcef; }")},
        {QStringLiteral("High Contrast"),
         QStringLiteral("QWidget { background-color: black; color: white; }"
                        "QTreeView, QTableView, QLineEdit { selection-background-color: yellow; "
                        "selection-color: black; }")},
    };
    return sheets;
}

QString gDefaultStyle;
std::string gCatalogueFolder;

} // namespace

void UseCatalogueFolder(const std::string& folder)
{
    gCatalogueFolder = folder;
}

QString RetranslatedText(const QString& shown)
{
    return again(shown);
}

std::string CatalogueFolder()
{
    if (!gCatalogueFolder.empty()) {
        return gCatalogueFolder;
    }
    return (QCoreApplication::applicationDirPath() + QStringLiteral("/locale")).toStdString();
}

QString NativeLanguageName(const std::string& code)
{
    // The languages of the table in their own names; Qt's locale data names
    // some with their country ("español de España"), so it answers only for
    // a catalogue of another language.
    static const std::map<std::string, const char*> own = {
        {"en", "English"},   {"ar", "العربية"},    {"ab", "Аҧсшәа"},   {"pt_br", "Português (Brasil)"},
        {"bg", "Български"}, {"zh", "简体中文"},   {"hr", "Hrvatski"}, {"cz", "Čeština"},
        {"da", "Dansk"},     {"nl", "Nederlands"}, {"fi", "Suomi"},    {"fr", "Français"},
        {"de", "Deutsch"},   {"el", "Ελληνικά"},   {"hu", "Magyar"},   {"id", "Bahasa Indonesia"},
        {"it", "Italiano"},  {"ja", "日本語"},     {"ko", "한국어"},   {"lv", "Latviešu"},
        {"lt", "Lietuvių"},  {"no", "Norsk"},      {"pl", "Polski"},   {"ro", "Română"},
        {"ru", "Русский"},   {"sk", "Slovenčina"}, {"es", "Español"},  {"sv", "Svenska"},
        {"tr", "Türkçe"},    {"uk", "Українська"},
    };
    if (const auto it = own.find(code); it != own.end()) {
        return QString::fromUtf8(it->second);
    }
    const QLocale locale(qtLanguage(code));
    const QString name = locale.language() == QLocale::C ? QString() : locale.nativeLanguageName();
    if (name.isEmpty()) {
        return QString::fromStdString(code);
    }
    // Some languages write their names in lower case; in a list they start
    // a line.
    return name.left(1).toUpper() + name.mid(1);
}

std::vector<TInterfaceLanguage> AvailableLanguages()
{
    std::vector<TInterfaceLanguage> languages{{"en", NativeLanguageName("en")}};
    const QDir folder(QString::fromStdString(CatalogueFolder()));
    for (const QString& entry : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const std::string code = entry.toStdString();
        if (code != "en" && code != "en_US" && HasCatalogue(code)) {
            languages.push_back({code, NativeLanguageName(code)});
        }
    }
    return languages;
}

std::u16string LanguageSettingOf(const std::string& code)
{
    for (const TLanguage& language : LanguageTable()) {
        if (language.code == code) {
            return fromQ(QString::fromUtf8(language.name));
        }
    }
    return fromQ(QString::fromStdString(code));
}

size_t LanguageIndexOfSetting(const std::vector<TInterfaceLanguage>& languages, const std::u16string& setting)
{
    for (size_t i = 0; i < languages.size(); ++i) {
        if (setting == LanguageSettingOf(languages[i].code) || setting == fromQ(languages[i].name)
            || setting == fromQ(QString::fromStdString(languages[i].code))) {
            return i;
        }
    }
    return 0;
}

void SelectInterfaceLanguage(const std::string& code)
{
    SelectLanguage(code);
    loadQtTranslations(code);
}

void RetranslateWindow(QWidget* window)
{
    if (!window) {
        return;
    }
    auto fix = [](QObject* o, auto get, auto set) {
        const QString now = get();
        const QString next = again(now);
        if (next != now) {
            set(next);
        }
    };
    QList<QObject*> objects = window->findChildren<QObject*>();
    objects.prepend(window);
    for (QObject* o : objects) {
        if (auto* a = qobject_cast<QAction*>(o)) {
            fix(
                o, [a] { return a->text(); }, [a](const QString& t) { a->setText(t); });
            fix(
                o, [a] { return a->toolTip(); }, [a](const QString& t) { a->setToolTip(t); });
            fix(
                o, [a] { return a->statusTip(); }, [a](const QString& t) { a->setStatusTip(t); });
            continue;
        }
        auto* w = qobject_cast<QWidget*>(o);
        if (!w) {
            continue;
        }
        fix(
            o, [w] { return w->toolTip(); }, [w](const QString& t) { w->setToolTip(t); });
        if (auto* l = qobject_cast<QLabel*>(w)) {
            fix(
                o, [l] { return l->text(); }, [l](const QString& t) { l->setText(t); });
        } else if (auto* tb = qobject_cast<QToolButton*>(w); tb && tb->defaultAction()) {
            // Follows its action.
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            fix(
                o, [b] { return b->text(); }, [b](const QString& t) { b->setText(t); });
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            fix(
                o, [g] { return g->title(); }, [g](const QString& t) { g->setTitle(t); });
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            fix(
                o, [e] { return e->placeholderText(); }, [e](const QString& t) { e->setPlaceholderText(t); });
        } else if (auto* m = qobject_cast<QMenu*>(w)) {
            fix(
                o, [m] { return m->title(); }, [m](const QString& t) { m->setTitle(t); });
        } else if (auto* tw = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tw->count(); ++i) {
                fix(
                    o, [tw, i] { return tw->tabText(i); }, [tw, i](const QString& t) { tw->setTabText(i, t); });
            }
        }
        if (qobject_cast<QDockWidget*>(w) || qobject_cast<QToolBar*>(w) || w->isWindow()) {
            fix(
                o, [w] { return w->windowTitle(); }, [w](const QString& t) { w->setWindowTitle(t); });
        }
    }
}

QStringList SkinNames()
{
    QStringList names = QStyleFactory::keys();
    for (const auto& [name, sheet] : styleSheets()) {
        names << name;
    }
    names.removeDuplicates();
    names.removeAll(QStringLiteral("Default"));
    names.sort(Qt::CaseInsensitive);
    names.prepend(QStringLiteral("Default"));
    return names;
}

void ApplySkin(const QString& name)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) {
        return;
    }
    if (gDefaultStyle.isEmpty()) {
        gDefaultStyle = app->style()->name();
    }
    const auto sheet = styleSheets().find(name);
    if (name == QStringLiteral("Default") || sheet != styleSheets().end()) {
        QApplication::setStyle(QStyleFactory::create(gDefaultStyle));
        app->setStyleSheet(sheet != styleSheets().end() ? sheet->second : QString());
    } else if (QStyleFactory::keys().contains(name, Qt::CaseInsensitive)) {
        app->setStyleSheet(QString());
        QApplication::setStyle(QStyleFactory::create(name));
    }
}

} // namespace talvoren
