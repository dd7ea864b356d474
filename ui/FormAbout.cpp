#include "ui/FormAbout.h"

#include "base/Translation.h"
#include "platform/HostEnvironment.h"
#include "platform/Platform.h"
#include "ui/Credits.h"
#include "ui/Icons.h"
#include "ui/UiText.h"
#include "update/UpdateAddresses.h"

#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace talvoren {

namespace {

const QColor kBackground(140, 172, 115);
const QColor kHatch(117, 155, 92);

QLabel* place(QLabel* label, int left, int top)
{
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TfrmAbout::TfrmAbout(platform::IPlatform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , fPlatform(platform)
{
    setFixedSize(446, 274);
    auto* logo = new QLabel(this);
    logo->setPixmap(TIcons::toolbar(imgAbout).pixmap(64, 64));
    logo->setGeometry(20, 20, 64, 128);
    auto* name = new QLabel(QStringLiteral("Talvoren"), this);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPixelSize(16);
    name->setFont(bold);
    place(name, 116, 20);
    lblVersion = place(new QLabel(VersionText(platform.system().executableVersion()), this), 176, 45);
    place(new QLabel(qtr("Free software: GNU GPL 3.0 or later"), this), 134, 64);
    const QString site = QString::fromStdU16String(TUpdateAddresses::active().site);
    lblURL = new QLabel(site, this);
    QFont link = lblURL->font();
    link.setBold(true);
    link.setUnderline(true);
    lblURL->setFont(link);
    lblURL->setStyleSheet(QStringLiteral("color: blue"));
    lblURL->setCursor(Qt::PointingHandCursor);
    place(lblURL, 154, 83);
    connect(lblURL, &QLabel::linkActivated, this, &TfrmAbout::lblURLClick);
    lblURL->setText(QStringLiteral("<a href=\"x\" style=\"color: blue\">%1</a>").arg(site.toHtmlEscaped()));
    lblURL->adjustSize();
    auto* thanks = place(new QLabel(qtr("Special thanks:"), this), 187, 122);

    btnOk = new QPushButton(qtr("OK"), this);
    btnOk->move(186, 233);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    credits = new TScrollingCredits(this);
    const int top = thanks->y() + 20;
    credits->setGeometry(3, top, width() - 6, btnOk->y() - thanks->y() - 30);
    credits->setBackgroundColor(kBackground);
    credits->setShowBorder(false);
    // A size of its own, so that the lines fit the box whatever the
    // desktop's default font is.
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    credits->setCreditsFont(tahoma, Qt::black);
    credits->setAnimate(true);
    credits->setCredits(Acknowledgements());
}

std::function<void(TfrmAbout&)>& TfrmAbout::testDriver()
{
    static std::function<void(TfrmAbout&)> driver;
    return driver;
}

void TfrmAbout::createAndShowModal(platform::IPlatform& platform, QWidget* parent)
{
    TfrmAbout form(platform, parent);
    if (testDriver()) {
        testDriver()(form);
    } else {
        form.exec();
    }
}

QString TfrmAbout::VersionText(const std::vector<uint16_t>& version)
{
    return qtr("Version ") + VersionAndBuild(version);
}

QStringList TfrmAbout::Acknowledgements()
{
    // Who made what the program is built from, and what it does here; only
    // what this build really contains.
    struct TCredit {
        const char* who;
        const char* what; // a message identifier
        bool shown;
    };
    const bool emulated = platform::kEmulatedMachine;
    const TCredit credits[] = {
        {"The Qt Project", trNoop("Qt 6: the window and its widgets"), true},
        {"The Qt Project", trNoop("Qt SVG: the icons"), true},
        {"The Qt Project", trNoop("Qt Network: the update check"), emulated},
        {"The SQLite developers", trNoop("SQLite: the emulated registry"), emulated},
        {"The GNU gettext developers", trNoop("gettext and libintl: the translations"), true},
        {"The mingw-w64 project", trNoop("the Windows runtime"), !emulated},
        {"The GCC developers", trNoop("the compiler and the C++ library"), true},
        {"Jean-loup Gailly and Mark Adler", trNoop("zlib, used by Qt"), true},
        {"The PCRE2 developers", trNoop("PCRE2, used by Qt"), true},
        {"The libpng authors", trNoop("libpng, used by Qt"), true},
        {"The FreeType Project", trNoop("FreeType, used by Qt"), true},
        {"The HarfBuzz developers", trNoop("HarfBuzz, used by Qt"), true},
        {"Bob Jenkins", trNoop("lookup3: the hash of the exclusion list"), true},
        {"The Talvoren team", trNoop("the German translation"), true},
        {"The Talvoren team", trNoop("the French translation"), true},
        {"The Talvoren team", trNoop("the Spanish translation"), true},
        {"The Talvoren team", trNoop("the Russian translation"), true},
        {"The Talvoren team", trNoop("the Japanese translation"), true},
        {"The Talvoren team", trNoop("the Brazilian Portuguese translation"), true},
        {"The Free Software Foundation", trNoop("the GNU General Public License"), true},
    };
    QStringList lines;
    for (const TCredit& credit : credits) {
        if (credit.shown) {
            lines << QString::fromUtf8(credit.who) + QStringLiteral(" (") + qtr(credit.what) + QLatin1Char(')');
        }
    }
    return lines;
}

void TfrmAbout::lblURLClick()
{
    // A shell that cannot open the page is not reported.
    fPlatform.shell().execute(u"open", TUpdateAddresses::active().site, u"", static_cast<uintptr_t>(winId()));
}

void TfrmAbout::paintEvent(QPaintEvent*)
{
    QPixmap bitmap(size());
    QPainter painter(&bitmap);
    painter.fillRect(bitmap.rect(), kBackground);
    painter.setPen(kHatch);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    painter.setPen(Qt::white);
    painter.drawRect(1, 1, width() - 3, height() - 3);
    painter.drawRect(2, 2, width() - 5, height() - 5);
    painter.setPen(kHatch);
    for (int y = 3; y <= height() - 4; ++y) {
        for (int x = 3; x <= width() - 4; ++x) {
            if ((x - y) % 5 == 0) {
                painter.drawPoint(x, y);
            }
        }
    }
    painter.end();
    QPainter(this).drawPixmap(0, 0, bitmap);
}

} // namespace talvoren
