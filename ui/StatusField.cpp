#include "ui/StatusField.h"

#include "ui/Icons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

namespace talvoren {

TStatusField::TStatusField(const QString& objectName, int minWidth, int minHeight, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    setMinimumSize(0, minHeight);
    fMinWidth = minWidth;
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(4);
    fImage = new QLabel(this);
    fImage->setFixedSize(16, 16);
    fText = new QLabel(this);
    fText->setMinimumWidth(0);
    fText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(fImage);
    row->addWidget(fText, 1);
}

void TStatusField::setState(int image, const QString& text, const QString& detail)
{
    if (image != fImageIndex) {
        fImageIndex = image;
        fImage->setPixmap(image < 0 ? QPixmap() : TIcons::status(image).pixmap(16, 16));
    }
    if (fFullText == text && fDetail == detail) {
        return;
    }
    fDetail = detail;
    // The whole text, also when the window is too narrow.
    setToolTip(detail.isEmpty() ? text : text + QLatin1Char('\n') + detail);
    if (fFullText == text) {
        return;
    }
    fFullText = text;
    // A field that shows a text is as wide as the text (and at least its
    // designed width); an empty one leaves the room to the others.
    const QMargins m = layout()->contentsMargins();
    const int needed = m.left() + fImage->width() + layout()->spacing() + fText->fontMetrics().horizontalAdvance(text)
        + m.right() + 2;
    setMinimumWidth(text.isEmpty() ? 0 : std::max(fMinWidth, needed));
    fitText();
}

QString TStatusField::text() const
{
    return fFullText;
}

void TStatusField::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitText();
}

void TStatusField::fitText()
{
    // Still too narrow (a small window): the text ends in an ellipsis
    // rather than being cut off, and the hint has it whole.
    fText->setText(fText->fontMetrics().elidedText(fFullText, Qt::ElideRight, std::max(fText->width(), 0)));
}

} // namespace talvoren
