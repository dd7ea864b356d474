#include "ui/dialogs/FormCmdHelp.h"

#include "base/Translation.h"
#include "cli/CommandLine.h"
#include "platform/Platform.h"

#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace talvoren {

namespace {

const QColor kBackground(140, 172, 115);
const QColor kLine(117, 155, 92);

QString qtr(const char* id)
{
    return QString::fromStdU16String(tr(id));
}

// The program picture: a tag, as the variable icons show, on a tall card.
QPixmap programPicture()
{
    QPixmap pixmap(64, 128);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient card(0, 0, 0, 128);
    card.setColorAt(0, QColor(250, 252, 247));
    card.setColorAt(1, QColor(214, 228, 203));
    p.setPen(QPen(kLine, 1.5));
    p.setBrush(card);
    p.drawRoundedRect(QRectF(2, 2, 60, 124), 8, 8);
    QPainterPath tag;
    tag.moveTo(14, 40);
    tag.lineTo(40, 40);
    tag.lineTo(52, 52);
    tag.lineTo(40, 64);
    tag.lineTo(14, 64);
    tag.closeSubpath();
    p.setBrush(QColor(232, 140, 40));
    p.setPen(QPen(QColor(150, 80, 10), 1.5));
    p.drawPath(tag);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(40, 52), 3, 3);
    p.setPen(QPen(QColor(60, 90, 40), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        p.drawLine(QPointF(14, 80 + i * 12), QPointF(50 - i * 8, 80 + i * 12));
    }
    return pixmap;
}

} // namespace

TfrmCmdHelp::TfrmCmdHelp(platform::IPlatform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , fPlatform(platform)
{
    setObjectName(QStringLiteral("frmCmdHelp"));
    setFixedSize(kWidth, kHeight);
    setWindowTitle(qtr("Command line parameters"));

    auto* picture = new QLabel(this);
    picture->setPixmap(programPicture());
    picture->setFixedSize(64, 128);

    auto* title = new QLabel(qtr("Command line parameters"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    title->setFont(titleFont);

    const QString url = QString::fromStdU16String(CommandHelpUrl());
    auto* link = new QLabel(this);
    link->setObjectName(QStringLiteral("lblLink"));
    link->setText(url);
    QFont linkFont = link->font();
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    link->setFont(linkFont);
    QPalette linkPalette = link->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    link->setPalette(linkPalette);
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(this);
    fLink = link;

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(1);
    int row = 0;
    for (const auto& line : CommandHelpLines()) {
        auto* option = new QLabel(qtr(line.option), this);
        if (*line.description == '\0') {
            QFont headingFont = option->font();
            headingFont.setBold(true);
            option->setFont(headingFont);
            grid->addWidget(option, row, 0, 1, 2);
        } else {
            grid->addWidget(option, row, 0);
            grid->addWidget(new QLabel(qtr(line.description), this), row, 1);
        }
        ++row;
    }
    grid->setColumnStretch(1, 1);

    auto* ok = new QPushButton(qtr("OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(title);
    text->addWidget(link);
    text->addSpacing(6);
    text->addLayout(grid);
    text->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    text->addLayout(buttons);

    auto* outer = new QHBoxLayout(this);
    // Keeps the painted frame and a band of the lines visible all round.
    outer->setContentsMargins(14, 12, 14, 12);
    outer->setSpacing(14);
    outer->addWidget(picture, 0, Qt::AlignTop);
    outer->addLayout(text, 1);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

int TfrmCmdHelp::createAndShowModal(platform::IPlatform& platform)
{
    TfrmCmdHelp dialog(platform);
    return dialog.exec();
}

const QImage& TfrmCmdHelp::background()
{
    if (fBackground.size() != size()) {
        const int w = width();
        const int h = height();
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(kBackground);
        QPainter p(&image);
        p.setPen(kLine);
        p.drawRect(0, 0, w - 1, h - 1);
        p.setPen(Qt::white);
        p.drawRect(1, 1, w - 3, h - 3);
        p.drawRect(2, 2, w - 5, h - 5);
        p.end();
        const QRgb line = kLine.rgb();
        for (int y = 3; y <= h - 4; ++y) {
            auto* scan = reinterpret_cast<QRgb*>(image.scanLine(y));
            // First x >= 3 with (x - y) divisible by 5.
            int x = 3 + ((((y - 3) % 5) + 5) % 5);
            for (; x <= w - 4; x += 5) {
                scan[x] = line;
            }
        }
        fBackground = image;
    }
    return fBackground;
}

void TfrmCmdHelp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, background());
}

bool TfrmCmdHelp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == fLink && event->type() == QEvent::MouseButtonRelease) {
        openLink();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmCmdHelp::openLink()
{
    fPlatform.shell().execute(u"open", CommandHelpUrl(), u"", static_cast<uintptr_t>(winId()));
}

} // namespace talvoren
