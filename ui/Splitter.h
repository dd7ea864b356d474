#pragma once

// The splitter between the two tree panels. It keeps the first panel's
// share of the width, so that new space is divided in that proportion
// instead of the splitter's default distribution.

#include <QSplitter>

namespace talvoren {

class TSplitter : public QSplitter {
    Q_OBJECT
public:
    explicit TSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

    // The first panel's share of the width the two panels share.
    double proportion() const { return fProportion; }
    // The two panels share the width equally.
    void SplitEvenly();
    // The first panel gets its share of the current width again.
    void Arrange();

signals:
    void resized();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void StoreProportion();

    double fProportion = 0.5;
};

} // namespace talvoren
