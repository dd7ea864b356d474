#include "ui/Splitter.h"

#include <cmath>

namespace talvoren {

TSplitter::TSplitter(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
    connect(this, &QSplitter::splitterMoved, this, &TSplitter::StoreProportion);
}

void TSplitter::SplitEvenly()
{
    const int shared = width() - handleWidth();
    if (shared > 0) {
        const int first = shared / 2;
        setSizes({first, shared - first});
        fProportion = double(first) / shared;
    }
}

void TSplitter::Arrange()
{
    const int splitterWidth = handleWidth();
    const int clientWidth = width();
    const int shared = clientWidth - splitterWidth;
    if (shared <= 0) {
        return;
    }
    // Nearest integer, halves to even (the default rounding mode).
    const int first = static_cast<int>(std::nearbyint(shared * fProportion));
    setSizes({first, clientWidth - first - splitterWidth});
}

void TSplitter::StoreProportion()
{
    const int shared = width() - handleWidth();
    if (shared > 0) {
        fProportion = double(sizes().value(0)) / shared;
    }
}

void TSplitter::resizeEvent(QResizeEvent* event)
{
    QSplitter::resizeEvent(event);
    emit resized();
}

} // namespace talvoren
