#include "ui/ContentAssistPopup.h"

#include "base/Translation.h"
#include "platform/Platform.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace talvoren {

namespace {

enum : int { FolderRole = Qt::UserRole + 1, ModeRole };

// Rows as the popup draws them: path rows with their icon, hint rows with
// the key name in bold dark red.
class TRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(option.rect, option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
        const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        const QString row = index.data(Qt::DisplayRole).toString();
        const auto mode = static_cast<TContentAssistType>(index.data(ModeRole).toInt());
        const QRect r = option.rect;
        const int baseline = r.top() + 6 + option.fontMetrics.ascent();
        painter->save();
        if (mode == TContentAssistType::Path) {
            const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
            icon.paint(painter, QRect(r.left() + 4, r.top() + 4, 16, 16));
            painter->setPen(text);
            painter->drawText(r.left() + 24, baseline, row);
        } else if (mode == TContentAssistType::Variable) {
            painter->setPen(text);
            painter->drawText(r.left() + 4, baseline, row);
        } else {
            QFont bold = option.font;
            bold.setBold(true);
            const QString key = row.left(2);
            painter->setFont(bold);
            painter->setPen(selected ? text : QColor(128, 0, 0));
            painter->drawText(r.left() + 4, baseline, key);
            const int x = r.left() + 9 + QFontMetrics(bold).horizontalAdvance(key);
            painter->setFont(option.font);
            painter->setPen(selected ? text : QColor(Qt::black));
            painter->drawText(x, baseline, row.mid(2));
        }
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {TContentAssist::kWidth - 2, TContentAssist::kRowHeight};
    }
};

QIcon entryIcon(bool folder)
{
    // The platform layer has no file icons of its own; the toolkit's stand in.
    static QFileIconProvider provider;
    static const QIcon folderIcon = provider.icon(QFileIconProvider::Folder);
    static const QIcon fileIcon = provider.icon(QFileIconProvider::File);
    return folder ? folderIcon : fileIcon;
}

} // namespace

TBorderedForm::TBorderedForm(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("ContentAssist"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
}

void TBorderedForm::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(128, 128, 128));
}

TContentAssist::TContentAssist(platform::IPlatform& platform, IVariablesGetter& getter, QLineEdit* edit)
    : QObject(edit)
    , fPlatform(platform)
    , editField(edit)
    , varGetter(getter)
{
    form = new TBorderedForm(edit);
    form->ca = this;
    listBox = new QListWidget(form);
    listBox->setObjectName(QStringLiteral("listBox"));
    listBox->setFrameShape(QFrame::NoFrame);
    listBox->setFocusPolicy(Qt::NoFocus);
    listBox->setUniformItemSizes(true);
    listBox->setItemDelegate(new TRowDelegate(listBox));
    listBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(listBox);
    form->resize(kWidth, kRows * kRowHeight + 2);
    connect(listBox, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        listBox->setCurrentItem(item);
        ProcessKeyEnter();
    });
}

TContentAssist::~TContentAssist()
{
    if (form) {
        form->ca = nullptr;
    }
}

void TContentAssist::Place(int position)
{
    const int caret = editField->cursorPosition();
    editField->setCursorPosition(position - 1);
    QPoint at = editField->inputMethodQuery(Qt::ImCursorRectangle).toRect().topLeft();
    editField->setCursorPosition(caret);
    if (at.x() < 0) {
        at = QPoint(0, 0);
    }
    QPoint global = editField->mapToGlobal(at) + QPoint(0, 16);
    // Kept on the screen the editor is on.
    if (const QScreen* screen = editField->screen()) {
        const QRect area = screen->availableGeometry();
        global.setX(std::max(area.left(), std::min(global.x(), area.right() - form->width())));
        if (global.y() + form->height() > area.bottom()) {
            global.setY(editField->mapToGlobal(at).y() - form->height());
        }
    }
    form->move(global);
}

void TContentAssist::Initialize(int position, TContentAssistType mode)
{
    isVars = mode;
    Place(position);
    listBox->show();
    contentAssistPos = position;
}

void TContentAssist::UpdatePopup()
{
    const int caret = editField->cursorPosition();
    if (contentAssistPos < 0 || caret + 1 < contentAssistPos) {
        Hide();
        return;
    }
    const std::u16string typed = fromQ(editField->text().mid(contentAssistPos - 1, caret - contentAssistPos + 1));
    listBox->setUpdatesEnabled(false);
    listBox->clear();
    auto add = [&](const QString& text, bool folder) {
        auto* item = new QListWidgetItem(text);
        item->setData(ModeRole, static_cast<int>(isVars));
        item->setToolTip(text);
        if (isVars == TContentAssistType::Path) {
            item->setIcon(entryIcon(folder));
        }
        listBox->addItem(item);
    };
    switch (isVars) {
    case TContentAssistType::Path:
        for (const TPathEntry& entry : ListPathEntries(fPlatform.fileSystem(), fPlatform.locale(), typed)) {
            add(toQ(entry.text), entry.folder);
        }
        break;
    case TContentAssistType::Variable:
        for (const std::u16string& row :
             MergeVariableEntries(fPlatform.locale(), varGetter.GetVariablesStartedWith(typed),
                                  varGetter.GetResolvedVariablesStartedWith(typed))) {
            add(toQ(row), false);
        }
        break;
    case TContentAssistType::Hints:
        add(QStringLiteral("F7 ") + qtr("Insert directory path..."), false);
        add(QStringLiteral("F8 ") + qtr("Insert file path..."), false);
        break;
    }
    listBox->setCurrentRow(-1);
    listBox->setUpdatesEnabled(true);
    if (listBox->count() == 0) {
        Hide();
        return;
    }
    form->show();
}

void TContentAssist::Hide()
{
    form->hide();
    contentAssistPos = -1;
}

bool TContentAssist::IsVisible() const
{
    return form->isVisible();
}

void TContentAssist::ProcessKeyUp()
{
    listBox->setCurrentRow(std::max(0, listBox->currentRow() - 1));
}

void TContentAssist::ProcessKeyDown()
{
    listBox->setCurrentRow(std::min(listBox->count() - 1, listBox->currentRow() + 1));
}

int TContentAssist::GetSelectionIndex() const
{
    return listBox->currentRow();
}

QString TContentAssist::GetSelection() const
{
    const QListWidgetItem* item = listBox->currentItem();
    return item ? item->text() : QString();
}

void TContentAssist::ProcessKeyEnter()
{
    if (isVars == TContentAssistType::Hints) {
        const int key = GetSelectionIndex() == 0 ? Qt::Key_F7 : Qt::Key_F8;
        Hide();
        emit commandKey(key);
        return;
    }
    if (listBox->count() > 0 && GetSelectionIndex() >= 0) {
        // The typed text and any selected text after it become the row.
        const int start = editField->hasSelectedText() ? editField->selectionStart() : editField->cursorPosition();
        const int end = start + static_cast<int>(editField->selectedText().size());
        const int from = contentAssistPos - 1;
        editField->setSelection(from, std::max(0, end - from));
        editField->insert(GetSelection());
        editField->setModified(true);
    }
    Hide();
}

} // namespace talvoren
