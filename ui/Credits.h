#pragma once

// A windowless list of credit lines with a small inline markup (&b bold,
// &i italic, &u underline, &cR,G,B; colour, && a literal ampersand), either
// standing still or scrolling upwards in an endless loop.

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QTimer;

namespace talvoren {

// One line with its markup resolved. Codes apply to the whole line
// wherever they stand; of several colours the last wins.
struct TCreditLine {
    std::u16string text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool hasColor = false;
    uint8_t red = 0, green = 0, blue = 0;
};
TCreditLine ParseCreditLine(std::u16string_view line);

class TScrollingCredits : public QWidget {
    Q_OBJECT
public:
    using TCreditEvent = std::function<void(TScrollingCredits&, const QString&)>;

    explicit TScrollingCredits(QWidget* owner = nullptr);

    void setCredits(const QStringList& lines);
    const QStringList& credits() const { return FCredits; }
    void setCreditsFont(const QFont& font, const QColor& color);
    const QFont& creditsFont() const { return FFont; }
    void setBackgroundColor(const QColor& color);
    void setBorderColor(const QColor& color);
    void setShowBorder(bool value);
    void setBackgroundImage(const QPixmap& image);
    void setAnimate(bool value);
    bool animate() const { return FAnimate; }
    void setInterval(int milliseconds);
    void setCreditsVisible(bool value);
    bool creditsVisible() const { return FVisible; }
    bool timerActive() const;

    // Starts the pass again from the bottom edge.
    void Reset();
    // One animation step: a pixel up, or a new pass after the last line.
    void TimerFired();
    int scrollPosition() const { return TPos; }

    TCreditEvent OnShowCredit;
    std::function<void(TScrollingCredits&)> AfterLastCredit;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int LineHeight() const;

    QStringList FCredits;
    QFont FFont;
    QColor FFontColor = Qt::white;
    QColor FBackgroundColor = Qt::black;
    QPixmap FBackgroundImage;
    QColor FBorderColor = Qt::white;
    bool FAnimate = false;
    QTimer* FTimer;
    int YPos = 4;
    int TPos = 0;
    bool FVisible = true;
    int LastShownIndex = -1;
    bool FShowBorder = true;
};

} // namespace talvoren
