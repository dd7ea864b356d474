#include "ui/Credits.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

namespace talvoren {

namespace {

// Reads a decimal 0..255 at `pos`, ended by `end`; advances past the end mark.
bool readComponent(std::u16string_view line, size_t& pos, char16_t end, uint8_t& value)
{
    int number = 0;
    size_t digits = 0;
    while (pos < line.size() && line[pos] >= u'0' && line[pos] <= u'9' && digits < 3) {
        number = number * 10 + (line[pos] - u'0');
        ++pos;
        ++digits;
    }
    if (digits == 0 || number > 255 || pos >= line.size() || line[pos] != end) {
        return false;
    }
    ++pos;
    value = static_cast<uint8_t>(number);
    return true;
}

} // namespace

TCreditLine ParseCreditLine(std::u16string_view line)
{
    TCreditLine result;
    size_t i = 0;
    while (i < line.size()) {
        const char16_t c = line[i];
        if (c != u'&') {
            result.text += c;
            ++i;
            continue;
        }
        if (i + 1 >= line.size()) {
            break; // a trailing '&' is dropped
        }
        const char16_t code = line[i + 1];
        i += 2;
        switch (code) {
        case u'&':
            result.text += u'&';
            break;
        case u'b':
        case u'B':
            result.bold = true;
            break;
        case u'i':
        case u'I':
            result.italic = true;
            break;
        case u'u':
        case u'U':
            result.underline = true;
            break;
        case u'c':
        case u'C': {
            size_t pos = i;
            uint8_t r, g, b;
            if (readComponent(line, pos, u',', r) && readComponent(line, pos, u',', g)
                && readComponent(line, pos, u';', b)) {
                result.hasColor = true;
                result.red = r;
                result.green = g;
                result.blue = b;
                i = pos;
            }
            // A malformed colour drops only the code; the rest shows as text.
            break;
        }
        default:
            break; // an unknown code drops both characters
        }
    }
    return result;
}

TScrollingCredits::TScrollingCredits(QWidget* owner)
    : QWidget(owner)
    , FFont(QStringLiteral("Tahoma"))
    , FTimer(new QTimer(this))
{
    resize(305, 201);
    // While shown, every paint covers the whole control, so the window
    // behind it is not drawn again at each animation step.
    setAttribute(Qt::WA_OpaquePaintEvent);
    FCredits = {QStringLiteral("&b&uTScrollingCredits"), QString(), QStringLiteral("&iItalic, &uunderlined"),
                QStringLiteral("&c255,255,0;Make a line a different color"),
                QStringLiteral("And put that ampersand in with &&&&")};
    FTimer->setInterval(50);
    connect(FTimer, &QTimer::timeout, this, &TScrollingCredits::TimerFired);
}

// The height of a line of text in the base font (ascent and descent), not
// of the letter's ink, so that descenders clear the next line.
int TScrollingCredits::LineHeight() const
{
    return QFontMetrics(FFont).height();
}

bool TScrollingCredits::timerActive() const
{
    return FTimer->isActive();
}

void TScrollingCredits::setCredits(const QStringList& lines)
{
    FCredits = lines;
    repaint();
}

void TScrollingCredits::setCreditsFont(const QFont& font, const QColor& color)
{
    FFont = font;
    FFontColor = color;
    update();
}

void TScrollingCredits::setBackgroundColor(const QColor& color)
{
    FBackgroundColor = color;
    update();
}

void TScrollingCredits::setBorderColor(const QColor& color)
{
    FBorderColor = color;
    update();
}

void TScrollingCredits::setShowBorder(bool value)
{
    FShowBorder = value;
    update();
}

void TScrollingCredits::setBackgroundImage(const QPixmap& image)
{
    FBackgroundImage = image;
    update();
}

void TScrollingCredits::setAnimate(bool value)
{
    TPos = height() + LineHeight();
    FAnimate = value;
    if (value && FVisible) {
        FTimer->start();
    } else {
        FTimer->stop();
    }
    repaint();
}

void TScrollingCredits::setInterval(int milliseconds)
{
    FTimer->setInterval(milliseconds);
}

void TScrollingCredits::setCreditsVisible(bool value)
{
    if (value == FVisible) {
        return;
    }
    FVisible = value;
    // Hidden, it draws nothing, and the window behind shows through.
    setAttribute(Qt::WA_OpaquePaintEvent, FVisible);
    if (FVisible && FAnimate) {
        FTimer->start();
    } else {
        FTimer->stop();
    }
    Reset();
    if (parentWidget()) {
        parentWidget()->update();
    }
    update();
}

void TScrollingCredits::Reset()
{
    TPos = height();
    LastShownIndex = -1;
}

void TScrollingCredits::TimerFired()
{
    const int h = LineHeight();
    if (TPos < -(static_cast<int>(FCredits.size()) * h)) {
        if (AfterLastCredit) {
            AfterLastCredit(*this);
        }
        Reset();
    } else {
        --TPos;
    }
    repaint();
}

void TScrollingCredits::paintEvent(QPaintEvent*)
{
    if (!FVisible) {
        return;
    }
    // Composed off screen and copied in one step, so scrolling does not flicker.
    QPixmap bitmap(size());
    QPainter painter(&bitmap);
    if (FBackgroundImage.isNull()) {
        painter.fillRect(bitmap.rect(), FBackgroundColor);
    } else {
        painter.drawPixmap(bitmap.rect(), FBackgroundImage);
    }
    const int h = LineHeight();
    int y = FAnimate ? TPos : YPos;
    const QFontMetrics baseMetrics(FFont);
    for (int k = 0; k < FCredits.size(); ++k) {
        if (FAnimate && y > bitmap.height()) {
            break; // lines below the edge are neither parsed nor drawn
        }
        if (!FAnimate || y + h > 0) {
            const TCreditLine line = ParseCreditLine(FCredits[k].toStdU16String());
            QFont font = FFont;
            font.setBold(line.bold);
            font.setItalic(line.italic);
            font.setUnderline(line.underline);
            painter.setFont(font);
            painter.setPen(line.hasColor ? QColor(line.red, line.green, line.blue) : FFontColor);
            const QString text = QString::fromStdU16String(line.text);
            const int x = bitmap.width() / 2 - QFontMetrics(font).horizontalAdvance(text) / 2;
            painter.drawText(x, y + baseMetrics.ascent(), text);
            if (FAnimate && k > LastShownIndex) {
                LastShownIndex = k;
                if (OnShowCredit) {
                    OnShowCredit(*this, text);
                }
            }
        }
        y += h;
    }
    if (FShowBorder) {
        painter.setPen(FBorderColor);
        painter.drawRect(bitmap.rect().adjusted(0, 0, -1, -1));
    }
    painter.end();
    QPainter(this).drawPixmap(0, 0, bitmap);
}

} // namespace talvoren
