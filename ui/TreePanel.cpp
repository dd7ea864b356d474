#include "ui/TreePanel.h"

#include "ui/Icons.h"
#include "ui/UiText.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvoren {

TTreePanel::TTreePanel(const QString& objectName, int headerImage, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    fLayout = new QVBoxLayout(this);
    fLayout->setContentsMargins(0, 0, 0, 0);
    fLayout->setSpacing(0);

    fTitle = new QFrame(this);
    fTitle->setObjectName(objectName + QStringLiteral("Title"));
    static_cast<QFrame*>(fTitle)->setFrameShape(QFrame::StyledPanel);
    fTitle->setAutoFillBackground(true);
    fTitle->setBackgroundRole(QPalette::Button);
    auto* row = new QHBoxLayout(fTitle);
    row->setContentsMargins(4, 1, 2, 1);
    row->setSpacing(4);

    fImage = new QLabel(fTitle);
    fImage->setPixmap(TIcons::header(headerImage).pixmap(16, 16));
    fCaption = new QLabel(fTitle);
    QFont bold = fCaption->font();
    bold.setBold(true);
    fCaption->setFont(bold);
    row->addWidget(fImage);
    row->addWidget(fCaption);
    row->addStretch(1);

    auto makeButton = [&](int image, const char* hint, const char* name) {
        auto* button = new QToolButton(fTitle);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(TIcons::header(image));
        button->setAutoRaise(true);
        button->setToolTip(qtr(hint));
        button->setFocusPolicy(Qt::NoFocus);
        row->addWidget(button);
        return button;
    };
    fCollapse = makeButton(hdrCollapseAll, "Collapse All (Ctrl+Shift+-)", "btnCollapseAll");
    fExpand = makeButton(hdrExpandAll, "Expand All (Ctrl+Shift++)", "btnExpandAll");

    fLayout->addWidget(fTitle);
}

void TTreePanel::setCaption(const QString& caption)
{
    fCaption->setText(caption);
}

QString TTreePanel::caption() const
{
    return fCaption->text();
}

void TTreePanel::setContent(QWidget* content)
{
    fLayout->addWidget(content, 1);
}

void TTreePanel::addTitleButton(QWidget* button, int margin)
{
    auto* row = static_cast<QHBoxLayout*>(fTitle->layout());
    const int at = row->indexOf(fCollapse);
    row->insertWidget(at, button);
    row->insertSpacing(at + 1, margin);
}

} // namespace talvoren
