// Skins: every skin, applied through the window's selector, gives the text
// of the trees, the Information panel, the toolbars and the dialogs a
// contrast of 4.5:1 to what it is drawn on, in every state, and greys out
// disabled icons.

#include "tests/ui/MainWindowFixture.h"
#include "ui/ETreeDelegate.h"
#include "ui/ETreeModel.h"
#include "ui/Inspector.h"
#include "ui/Language.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>
#include <cmath>

using namespace talvoren;
using namespace talvoren::test;
using platform::RootKey;

namespace {

// WCAG 2 relative luminance and contrast, computed here on their own.
double luminance(const QColor& c)
{
    const auto lin = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

const char* groupName(QPalette::ColorGroup g)
{
    return g == QPalette::Active ? "active" : g == QPalette::Inactive ? "inactive" : "disabled";
}

// Mean luminance distance of an image's opaque pixels from `background`.
double distanceFrom(const QImage& image, const QColor& background)
{
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 128) {
                sum += std::abs(luminance(c) - luminance(background));
                ++count;
            }
        }
    }
    return count ? sum / count : 0;
}

} // namespace

class SkinTest : public QObject {
    Q_OBJECT

    QStringList failures;

    void expect(const QString& skin, const QString& where, QPalette::ColorGroup group, const QColor& text,
                const QColor& background)
    {
        const double ratio = contrast(text, background);
        if (ratio < 4.5) {
            failures << QStringLiteral("%1, %2 (%3): %4 on %5 = %6")
                            .arg(skin, where, QLatin1String(groupName(group)), text.name(), background.name())
                            .arg(ratio, 0, 'f', 2);
        }
    }

    void expectPalette(const QString& skin, const QString& where, const QPalette& p,
                       std::initializer_list<std::pair<QPalette::ColorRole, QPalette::ColorRole>> pairs)
    {
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            for (const auto& [text, background] : pairs) {
                expect(skin, where + QStringLiteral(" role %1/%2").arg(int(text)).arg(int(background)), group,
                       p.color(group, text), p.color(group, background));
            }
        }
    }

    // The colours a row is painted with: the view's option as the delegate
    // completes it, for every row with its own text colour.
    void expectRows(const QString& skin, const QString& where, QAbstractItemView* view, const QModelIndex& parent = {})
    {
        auto* delegate = qobject_cast<TReadableItemDelegate*>(view->itemDelegate());
        QVERIFY2(delegate, qPrintable(where));
        QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            if (index.data(Qt::ForegroundRole).isValid()) {
                QStyleOptionViewItem option;
                option.initFrom(view);
                delegate->initStyleOption(&option, index);
                for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                    for (const auto background : {QPalette::Base, QPalette::AlternateBase}) {
                        expect(skin, where + QStringLiteral(" row '%1'").arg(index.data().toString()), group,
                               option.palette.color(group, QPalette::Text), option.palette.color(group, background));
                    }
                }
            }
            expectRows(skin, where, view, index);
        }
    }

private slots:
    void everySkinIsReadableInEveryState()
    {
        TFixture f;
        // A missing folder (red), one the system Path holds too (warning),
        // and the special read-only variables (grey).
        f.Seed(RootKey::LocalMachine, kSystemEnvironmentKey, u"Path", u"C:\\Windows");
        f.Seed(RootKey::CurrentUser, u"Environment", u"Path", u"C:\\Windows;C:\\nothere");
        TfrmMain& w = f.Open();
        userVarView(w)->expandAll();
        auto* skins = w.findChild<QComboBox*>(QStringLiteral("comboSkins"));
        auto* donate = w.findChild<QLabel*>(QStringLiteral("lblDonate"));
        QAction* save = f.action("actFileSave");
        QVERIFY(!save->isEnabled());
        QDialog dialog(&w);
        const auto tableRoles
            = {std::pair{QPalette::Text, QPalette::Base}, std::pair{QPalette::Text, QPalette::AlternateBase},
               std::pair{QPalette::HighlightedText, QPalette::Highlight}};
        const auto windowRoles
            = {std::pair{QPalette::WindowText, QPalette::Window}, std::pair{QPalette::ButtonText, QPalette::Button},
               std::pair{QPalette::Text, QPalette::Base}, std::pair{QPalette::ToolTipText, QPalette::ToolTipBase}};
        for (int i = 0; i < skins->count(); ++i) {
            skins->setCurrentIndex(i);
            const QString skin = skins->currentText();
            QCoreApplication::processEvents();
            expectPalette(skin, QStringLiteral("system tree"), sysVarView(w)->palette(), tableRoles);
            expectPalette(skin, QStringLiteral("user tree"), userVarView(w)->palette(), tableRoles);
            expectPalette(skin, QStringLiteral("inspector"), inspectorGrid(w)->palette(), tableRoles);
            expectPalette(skin, QStringLiteral("legend"), legendGrid(w)->palette(), tableRoles);
            expectPalette(skin, QStringLiteral("toolbar"), w.findChild<QToolBar*>(QStringLiteral("tbMain"))->palette(),
                          windowRoles);
            expectPalette(skin, QStringLiteral("dialog"), dialog.palette(), windowRoles);
            // The link as the label draws it: its strongest pixel against
            // the bar behind it.
            const QImage link = donate->grab().toImage();
            double strongest = 0;
            for (int y = 0; y < link.height(); ++y) {
                for (int x = 0; x < link.width(); ++x) {
                    strongest = std::max(strongest, contrast(link.pixelColor(x, y), link.pixelColor(0, 0)));
                }
            }
            if (strongest < 4.5) {
                failures << QStringLiteral("%1, donate link drawn at %2:1").arg(skin).arg(strongest);
            }
            expectRows(skin, QStringLiteral("user tree"), userVarView(w));
            expectRows(skin, QStringLiteral("system tree"), sysVarView(w));
            expectRows(skin, QStringLiteral("legend"), legendGrid(w));
            QVERIFY(inspectorGrid(w)->alternatingRowColors());

            // A disabled command's icon fades towards the toolbar.
            const QColor window = w.palette().color(QPalette::Window);
            const QImage normal = save->icon().pixmap(QSize(16, 16), QIcon::Normal).toImage();
            const QImage disabled = save->icon().pixmap(QSize(16, 16), QIcon::Disabled).toImage();
            QVERIFY2(disabled != normal, qPrintable(skin));
            QVERIFY2(
                distanceFrom(disabled, window) < distanceFrom(normal, window) * 0.8,
                qPrintable(
                    skin
                    + QStringLiteral(": %1 %2").arg(distanceFrom(disabled, window)).arg(distanceFrom(normal, window))));
        }
        QVERIFY(skins->count() >= 4);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
        skins->setCurrentIndex(0);
    }
};

QTEST_MAIN(SkinTest)
#include "SkinTest.moc"
