#include "ui/ETreeEdit.h"

#include "edit/InPlaceCommit.h"
#include "model/ETree.h"
#include "model/NodeInfo.h"
#include "ui/ETreeModel.h"
#include "ui/FormOK.h"
#include "ui/UiText.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QToolTip>
#include <QValidator>
#include <limits>

namespace talvoren {

namespace {

constexpr const char* kStoredLength = "storedLength";

// Refuses a change that would put a NUL or more than a value's characters
// into the editor, and says so beside it, without taking the focus (that
// would end the edit). The line edit's own limit would cut a paste silently.
class TValueTextValidator : public QValidator {
public:
    explicit TValueTextValidator(QLineEdit* editor)
        : QValidator(editor)
        , fEditor(editor)
    {
        editor->setMaxLength(std::numeric_limits<int>::max());
    }

    State validate(QString& input, int&) const override
    {
        const std::u16string error = ValueTextError(fromQ(input));
        // A value stored longer than the limit opens whole and may shrink.
        const qsizetype stored = fEditor->property(kStoredLength).toLongLong();
        if (error.empty() || (input.size() <= stored && !input.contains(QChar(0)))) {
            return Acceptable;
        }
        QToolTip::showText(fEditor->mapToGlobal(QPoint(0, fEditor->height())), toQ(error), fEditor);
        return Invalid;
    }

private:
    QLineEdit* fEditor;
};

} // namespace

// --- the element editor ------------------------------------------------------

TETreeEdit::TETreeEdit(TETree& tree, TENode* node, QWidget* parent)
    : QLineEdit(parent)
    , fTree(tree)
    , fNode(node)
{
    setObjectName(QStringLiteral("ETreeEdit"));
    setToolTip(QString()); // no hints over the editor
    ContentAssist = new TContentAssist(tree.Platform(), *this, this);
    connect(this, &QLineEdit::textChanged, this, &TETreeEdit::fitWidth);
    // The popup is placed once per update; a moved or resized window would
    // leave it standing elsewhere.
    if (QWidget* top = parent ? parent->window() : nullptr) {
        top->installEventFilter(this);
    }
    // A hint row runs the window's command under its key, after this key
    // press is over (the command ends the edit first).
    connect(ContentAssist, &TContentAssist::commandKey, this, [this](int key) {
        QPointer<QWidget> window = this->window();
        QTimer::singleShot(0, window, [window, key] {
            for (QAction* action : window->findChildren<QAction*>()) {
                if (action->shortcut() == QKeySequence(key) && action->isEnabled()) {
                    action->trigger();
                    return;
                }
            }
        });
    });
}

TETreeEdit::~TETreeEdit() = default;

std::vector<std::u16string> TETreeEdit::GetVariablesStartedWith(const std::u16string& s)
{
    return fTree.GetVariablesStartedWith(s);
}

std::vector<std::u16string> TETreeEdit::GetResolvedVariablesStartedWith(const std::u16string& s)
{
    const TETree* resolving = fTree.GetResolvingTree();
    return resolving ? resolving->GetVariablesStartedWith(s) : std::vector<std::u16string>();
}

void TETreeEdit::UpdateCompletion(bool forced)
{
    const bool expandable = fTree.GetVariableType(fNode) == kDataTypeExpandString;
    const TCompletionStart start = CompletionStart(fromQ(text()), cursorPosition(), expandable, forced);
    if (!start.open) {
        ContentAssist->Hide();
        return;
    }
    ContentAssist->Initialize(start.position, start.mode);
    ContentAssist->UpdatePopup();
}

bool TETreeEdit::handleEndKey(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (ContentAssist->IsVisible() && ContentAssist->GetSelectionIndex() >= 0) {
            ContentAssist->ProcessKeyEnter();
            return true;
        }
        ContentAssist->Hide();
        return false;
    case Qt::Key_Escape:
        // A list of completions closes by itself, so that the text typed so
        // far (a new element's, which a cancel would take away) stays; a
        // second Esc cancels. The two command rows of an empty element hold
        // nothing typed: Esc cancels at once.
        if (ContentAssist->IsVisible() && ContentAssist->mode() != TContentAssistType::Hints) {
            ContentAssist->Hide();
            return true;
        }
        ContentAssist->Hide();
        return false;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

void TETreeEdit::keyPressEvent(QKeyEvent* event)
{
    const bool shown = ContentAssist->IsVisible();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Up:
        if (shown) {
            ContentAssist->ProcessKeyUp();
        } else {
            cursorBackward(mods & Qt::ShiftModifier);
        }
        return;
    case Qt::Key_Down:
        if (shown) {
            ContentAssist->ProcessKeyDown();
        } else {
            cursorForward(mods & Qt::ShiftModifier);
        }
        return;
    case Qt::Key_Space:
        if (mods == Qt::ControlModifier) {
            UpdateCompletion(true);
            return;
        }
        break;
    case Qt::Key_A:
        if (mods == Qt::ControlModifier) {
            ContentAssist->Hide();
            selectAll();
            return;
        }
        break;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
    // A typed character always updates the list; other keys (caret moves)
    // only while it is shown.
    if (!event->text().isEmpty() || shown) {
        UpdateCompletion(false);
    }
}

bool TETreeEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window() && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        ContentAssist->Hide();
    }
    return QLineEdit::eventFilter(watched, event);
}

void TETreeEdit::focusOutEvent(QFocusEvent* event)
{
    ContentAssist->Hide();
    QLineEdit::focusOutEvent(event);
}

void TETreeEdit::showEvent(QShowEvent* event)
{
    QLineEdit::showEvent(event);
    if (!fShownOnce) {
        fShownOnce = true;
        // An empty element offers the two chooser commands at once.
        QTimer::singleShot(0, this, [this] {
            if (text().isEmpty() && hasFocus()) {
                ContentAssist->Initialize(1, TContentAssistType::Hints);
                ContentAssist->UpdatePopup();
            }
        });
    }
}

void TETreeEdit::setTextBounds(const QRect& bounds)
{
    fTextBounds = bounds;
    fitWidth();
}

void TETreeEdit::fitWidth()
{
    if (!fTextBounds.isValid()) {
        return;
    }
    const QWidget* area = parentWidget();
    const int wanted = fontMetrics().horizontalAdvance(text()) + 2 * fontMetrics().averageCharWidth() + 8;
    int width = std::max({kMinimumWidth, fTextBounds.width(), wanted});
    if (area) {
        width = std::min(width, std::max(kMinimumWidth, area->width() - fTextBounds.left()));
    }
    setGeometry(fTextBounds.left(), fTextBounds.top(), width, fTextBounds.height());
}

// --- the link ------------------------------------------------------------------

TETreeStringEditLink::TETreeStringEditLink(TETree& tree, QObject* parent)
    : TETreeDelegate(parent)
    , fTree(tree)
{
}

QWidget* TETreeStringEditLink::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                            const QModelIndex& index) const
{
    TENode* node = TETreeModel::nodeOf(index);
    if (!node || !fTree.IsWritable(node)) {
        return nullptr;
    }
    QLineEdit* editor = node->IsVariable() ? new QLineEdit(parent) : new TETreeEdit(fTree, node, parent);
    editor->setValidator(new TValueTextValidator(editor));
    editor->setFrame(true);
    QPalette pal = editor->palette();
    pal.setColor(QPalette::Text, QApplication::palette().color(QPalette::WindowText));
    editor->setPalette(pal);
    return editor;
}

void TETreeStringEditLink::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* edit = qobject_cast<QLineEdit*>(editor);
    TENode* node = TETreeModel::nodeOf(index);
    if (!edit || !node || edit->isModified()) {
        return; // a model change while typing must not overwrite the typed text
    }
    // A variable is edited by its name alone.
    const QString text = toQ(node->IsVariable() ? fTree.GetVariableName(node) : fTree.GetElement(node));
    edit->setProperty(kStoredLength, qlonglong(text.size()));
    edit->setText(text);
    edit->setFont(index.data(Qt::FontRole).isValid() ? index.data(Qt::FontRole).value<QFont>() : edit->font());
    edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    edit->selectAll();
}

void TETreeStringEditLink::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    auto* edit = qobject_cast<QLineEdit*>(editor);
    TENode* node = TETreeModel::nodeOf(index);
    if (!edit || !node || !edit->isModified()) {
        return; // an unchanged text commits nothing
    }
    edit->setModified(false);
    fRefusal = CommitEditedText(fTree, node, fromQ(edit->text()));
}

void TETreeStringEditLink::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    if (auto* edit = qobject_cast<TETreeEdit*>(editor)) {
        edit->setTextBounds(text);
        return;
    }
    const int width = std::max(TETreeEdit::kMinimumWidth, text.width());
    editor->setGeometry(text.left(), text.top(), width, text.height());
}

bool TETreeStringEditLink::eventFilter(QObject* object, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (auto* edit = qobject_cast<TETreeEdit*>(object)) {
            if (edit->handleEndKey(key)) {
                return true;
            }
        } else if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            return true; // Tab neither moves to another node nor ends the edit
        }
    }
    return TETreeDelegate::eventFilter(object, event);
}

} // namespace talvoren
