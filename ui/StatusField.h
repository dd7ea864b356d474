#pragma once

// One field of the main window's status bar: an optional image and a text.
// Setting what it already shows changes nothing, so the 200 ms refresh
// repaints nothing while nothing happens.

#include <QWidget>

class QLabel;

namespace talvoren {

class TStatusField : public QWidget {
    Q_OBJECT
public:
    TStatusField(const QString& objectName, int minWidth, int minHeight, QWidget* parent = nullptr);

    // `image` indexes the status-bar images; -1 shows none. The hint holds
    // the whole text and, below it, `detail`.
    void setState(int image, const QString& text, const QString& detail = {});
    void clear() { setState(-1, QString()); }

    int image() const { return fImageIndex; }
    QString text() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitText();

    QString fFullText;
    QString fDetail;
    QLabel* fImage;
    QLabel* fText;
    int fImageIndex = -1;
    int fMinWidth = 0;
};

} // namespace talvoren
