#pragma once

// The splitter between the two tree panels. It reports its own resizes, so
// the window can keep the panels' proportion instead of the splitter's
// default distribution of new space.

#include <QSplitter>

namespace talvoren {

class TSplitter : public QSplitter {
    Q_OBJECT
public:
    using QSplitter::QSplitter;

signals:
    void resized();

protected:
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace talvoren
