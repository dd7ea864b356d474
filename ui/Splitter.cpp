#include "ui/Splitter.h"

namespace talvoren {

void TSplitter::resizeEvent(QResizeEvent* event)
{
    QSplitter::resizeEvent(event);
    emit resized();
}

} // namespace talvoren
