#include "ui/StatusField.h"

#include "ui/Icons.h"

#include <QHBoxLayout>
#include <QLabel>

namespace talvoren {

TStatusField::TStatusField(const QString& objectName, int minWidth, int minHeight, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    setMinimumSize(minWidth, minHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(4);
    fImage = new QLabel(this);
    fImage->setFixedSize(16, 16);
    fText = new QLabel(this);
    row->addWidget(fImage);
    row->addWidget(fText, 1);
}

void TStatusField::setState(int image, const QString& text)
{
    if (image != fImageIndex) {
        fImageIndex = image;
        fImage->setPixmap(image < 0 ? QPixmap() : TIcons::status(image).pixmap(16, 16));
    }
    if (fText->text() != text) {
        fText->setText(text);
        setToolTip(text); // the whole text, also when the field is too narrow
    }
}

QString TStatusField::text() const
{
    return fText->text();
}

} // namespace talvoren
