#include "ui/TreePanel.h"

#include "ui/Icons.h"
#include "ui/UiText.h"

#include <QEvent>
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
    // A long caption is cut rather than widening the panel: the splitter's
    // proportion decides the width, not the title.
    fCaption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    fCaption->setMinimumWidth(0);
    fCaption->installEventFilter(this);
    row->addWidget(fImage);
    row->addWidget(fCaption, 1);

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
    fFullCaption = caption;
    fCaption->setToolTip(caption);
    fCaption->setText(fCaption->fontMetrics().elidedText(caption, Qt::ElideRight, fCaption->width()));
    fitTitleButton();
}

QString TTreePanel::caption() const
{
    return fFullCaption;
}

void TTreePanel::setContent(QWidget* content)
{
    fLayout->addWidget(content, 1);
}

void TTreePanel::addTitleButton(QToolButton* button, int margin)
{
    auto* row = static_cast<QHBoxLayout*>(fTitle->layout());
    const int at = row->indexOf(fCollapse);
    row->insertWidget(at, button);
    row->insertSpacing(at + 1, margin);
    fTitleButton = button;
    fTitleMargin = margin;
    button->setToolTip(button->text());
    button->installEventFilter(this); // it is shown only later
    fitTitleButton();
}

void TTreePanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitTitleButton();
}

bool TTreePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == fTitleButton && event->type() == QEvent::Show) {
        fitTitleButton();
    }
    // A caption too long for its room ends in an ellipsis.
    if (watched == fCaption && event->type() == QEvent::Resize) {
        fCaption->setText(fCaption->fontMetrics().elidedText(fFullCaption, Qt::ElideRight, fCaption->width()));
    }
    return QWidget::eventFilter(watched, event);
}

void TTreePanel::fitTitleButton()
{
    if (!fTitleButton || fTitleButton->isHidden()) {
        return;
    }
    QToolButton probe;
    probe.setText(fTitleButton->text());
    probe.setIcon(fTitleButton->icon());
    probe.setAutoRaise(true);
    probe.setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const auto* row = fTitle->layout();
    const QMargins m = row->contentsMargins();
    const int spacing = row->spacing();
    const int needed = m.left() + m.right() + fImage->sizeHint().width()
        + fCaption->fontMetrics().horizontalAdvance(fFullCaption) + probe.sizeHint().width() + fTitleMargin
        + fCollapse->sizeHint().width() + fExpand->sizeHint().width() + 5 * spacing;
    fTitleButton->setToolButtonStyle(width() >= needed ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
}

} // namespace talvoren
