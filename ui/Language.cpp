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
#include <QPalette>
#include <QPixmapCache>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <algorithm>
#include <cmath>
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

// WCAG relative luminance.
double luminance(const QColor& c)
{
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// A little above the 4.5:1 that normal text needs, so rounding to whole
// colour steps never falls below it.
constexpr double kReadable = 4.6;

// `colour` moved step by step towards `target` until it stands out from
// every background, or `target` itself.
QColor towards(const QColor& colour, const QColor& target, const std::initializer_list<QColor>& backgrounds)
{
    QColor c = colour;
    for (int step = 1; step <= 20; ++step) {
        bool readable = true;
        for (const QColor& background : backgrounds) {
            readable = readable && ContrastRatio(c, background) >= kReadable;
        }
        if (readable) {
            return c;
        }
        const double t = step / 20.0;
        c = QColor::fromRgbF(float(colour.redF() + (target.redF() - colour.redF()) * t),
                             float(colour.greenF() + (target.greenF() - colour.greenF()) * t),
                             float(colour.blueF() + (target.blueF() - colour.blueF()) * t));
    }
    return c;
}

bool isDark(const QColor& c)
{
    return luminance(c) < 0.18;
}

// Every text role of `palette` readable on the background it is drawn on,
// in each colour group: disabled text is greyer, never unreadable.
void makeReadable(QPalette& palette)
{
    struct Pair {
        QPalette::ColorRole text;
        QPalette::ColorRole background;
    };
    static const Pair pairs[] = {
        {QPalette::Text, QPalette::Base},
        {QPalette::Text, QPalette::AlternateBase},
        {QPalette::WindowText, QPalette::Window},
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::ToolTipText, QPalette::ToolTipBase},
        {QPalette::PlaceholderText, QPalette::Base},
        {QPalette::Link, QPalette::Window},
        {QPalette::Link, QPalette::Base},
        {QPalette::LinkVisited, QPalette::Window},
        {QPalette::LinkVisited, QPalette::Base},
    };
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        // Styles give both groups one highlight; an unfocused tree then
        // shows its selection in the mid-light colour with normal text.
        if (group == QPalette::Inactive
            && palette.color(QPalette::Inactive, QPalette::Highlight)
                == palette.color(QPalette::Active, QPalette::Highlight)) {
            palette.setColor(group, QPalette::Highlight, palette.color(group, QPalette::Midlight));
            palette.setColor(group, QPalette::HighlightedText, palette.color(group, QPalette::Text));
        }
        for (const Pair& pair : pairs) {
            const QColor background = palette.color(group, pair.background);
            const QColor extreme = isDark(background) ? Qt::white : Qt::black;
            const QColor other = pair.text == QPalette::Text
                ? palette.color(group, pair.background == QPalette::Base ? QPalette::AlternateBase : QPalette::Base)
                : background;
            palette.setColor(group, pair.text, towards(palette.color(group, pair.text), extreme, {background, other}));
        }
        // A selection keeps its text colour; its background gives way.
        const QColor text = palette.color(group, QPalette::HighlightedText);
        palette.setColor(
            group, QPalette::Highlight,
            towards(palette.color(group, QPalette::Highlight), isDark(text) ? Qt::white : Qt::black, {text}));
    }
}

QPalette darkPalette()
{
    QPalette p;
    const auto all = [&p](QPalette::ColorRole role, const QColor& c) {
        p.setColor(role, c);
    };
    all(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    all(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    all(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    all(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    all(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    all(QPalette::Button, QColor(0x35, 0x35, 0x35));
    all(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    all(QPalette::BrightText, Qt::white);
    all(QPalette::Light, QColor(0x50, 0x50, 0x50));
    all(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    all(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    all(QPalette::Dark, QColor(0x1a, 0x1a, 0x1a));
    all(QPalette::Shadow, Qt::black);
    all(QPalette::Highlight, QColor(0x3d, 0x6a, 0x99));
    all(QPalette::HighlightedText, Qt::white);
    all(QPalette::ToolTipBase, QColor(0x3c, 0x3c, 0x3c));
    all(QPalette::ToolTipText, QColor(0xe0, 0xe0, 0xe0));
    all(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    all(QPalette::Link, QColor(0x8a, 0xb4, 0xf8));
    all(QPalette::LinkVisited, QColor(0xc5, 0x8a, 0xf9));
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0x4a, 0x4f, 0x55));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, QColor(0xe0, 0xe0, 0xe0));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, QColor(0x9a, 0x9a, 0x9a));
    }
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x40, 0x40, 0x40));
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, QColor(0x9a, 0x9a, 0x9a));
    return p;
}

QPalette oceanPalette(QPalette p)
{
    p.setColor(QPalette::Window, QColor(0xe6, 0xf0, 0xf8));
    p.setColor(QPalette::Button, QColor(0xd8, 0xe8, 0xf4));
    p.setColor(QPalette::AlternateBase, QColor(0xf0, 0xf6, 0xfb));
    p.setColor(QPalette::Active, QPalette::Highlight, QColor(0x1f, 0x5f, 0x94));
    p.setColor(QPalette::Active, QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xc4, 0xdc, 0xef));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    return p;
}

QPalette highContrastPalette()
{
    QPalette p(Qt::white, Qt::black);
    for (const auto role :
         {QPalette::Window, QPalette::Base, QPalette::AlternateBase, QPalette::Button, QPalette::ToolTipBase}) {
        p.setColor(role, Qt::black);
    }
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText}) {
        p.setColor(role, Qt::white);
    }
    p.setColor(QPalette::Highlight, Qt::yellow);
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0x00, 0x80, 0x80));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, Qt::yellow);
    p.setColor(QPalette::LinkVisited, QColor(0xff, 0x80, 0xff));
    p.setColor(QPalette::PlaceholderText, QColor(0xc0, 0xc0, 0xc0));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, QColor(0xa0, 0xa0, 0xa0));
    }
    return p;
}

// Every style with one way of greying out a disabled icon: its colours
// fade to grey and most of the way to the background, so a disabled command
// looks disabled on dark skins too (Qt's own lightens it there).
class TSkinStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    QPixmap generatedIconPixmap(QIcon::Mode mode, const QPixmap& pixmap, const QStyleOption* option) const override
    {
        if (mode != QIcon::Disabled) {
            return QProxyStyle::generatedIconPixmap(mode, pixmap, option);
        }
        const QColor background
            = (option ? option->palette : QApplication::palette()).color(QPalette::Disabled, QPalette::Window);
        QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        constexpr double kKept = 0.35;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int grey = qGray(line[x]);
                const auto mix = [grey](int b) {
                    return int(grey * kKept + b * (1 - kKept));
                };
                line[x]
                    = qRgba(mix(background.red()), mix(background.green()), mix(background.blue()), qAlpha(line[x]));
            }
        }
        QPixmap out = QPixmap::fromImage(image);
        out.setDevicePixelRatio(pixmap.devicePixelRatio());
        return out;
    }
};

// The skins of our own, drawn by Fusion (it paints with the palette alone),
// next to the styles Qt offers.
const std::map<QString, QPalette (*)(const QPalette&)>& ownSkins()
{
    static const std::map<QString, QPalette (*)(const QPalette&)> skins = {
        {QStringLiteral("Dark"),
         [](const QPalette&) {
             return darkPalette();
         }},
        {QStringLiteral("Ocean"),
         [](const QPalette& standard) {
             return oceanPalette(standard);
         }},
        {QStringLiteral("High Contrast"),
         [](const QPalette&) {
             return highContrastPalette();
         }},
    };
    return skins;
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

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& colour, const std::initializer_list<QColor>& backgrounds)
{
    bool dark = false;
    for (const QColor& background : backgrounds) {
        dark = dark || isDark(background);
    }
    return towards(colour, dark ? Qt::white : Qt::black, backgrounds);
}

QStringList SkinNames()
{
    QStringList names = QStyleFactory::keys();
    for (const auto& [name, palette] : ownSkins()) {
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
        const auto* skin = dynamic_cast<TSkinStyle*>(app->style());
        gDefaultStyle = skin ? skin->baseStyle()->name() : app->style()->name();
    }
    const auto own = ownSkins().find(name);
    QString style;
    if (name == QStringLiteral("Default")) {
        style = gDefaultStyle;
    } else if (own != ownSkins().end()) {
        style = QStringLiteral("Fusion");
    } else if (QStyleFactory::keys().contains(name, Qt::CaseInsensitive)) {
        style = name;
    } else {
        return;
    }
    app->setStyleSheet(QString());
    QApplication::setStyle(new TSkinStyle(QStyleFactory::create(style)));
    QPalette palette = QApplication::style()->standardPalette();
    if (own != ownSkins().end()) {
        palette = own->second(palette);
    }
    makeReadable(palette);
    QApplication::setPalette(palette);
    // Disabled icons are cached in the colours of the skin they were made in.
    QPixmapCache::clear();
}

} // namespace talvoren
