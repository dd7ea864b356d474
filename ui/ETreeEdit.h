#pragma once

// In-place editing of the environment trees. A variable is renamed in a
// plain line edit; an element is edited in TETreeEdit, which brings the
// completion popup. TETreeStringEditLink joins both editors to the tree: it
// opens them over the node's text, hands a changed text to the commit rules
// and routes the keys the popup needs before the view sees them.

#include "ui/ContentAssistPopup.h"
#include "ui/ETreeDelegate.h"

#include <QLineEdit>
#include <QRect>
#include <string>
#include <utility>

namespace talvoren {

class TETree;
class TENode;

class TETreeEdit : public QLineEdit, public IVariablesGetter {
    Q_OBJECT
public:
    TETreeEdit(TETree& tree, TENode* node, QWidget* parent);
    ~TETreeEdit() override;

    TContentAssist& contentAssist() const { return *ContentAssist; }
    TENode* node() const { return fNode; }

    std::vector<std::u16string> GetVariablesStartedWith(const std::u16string& s) override;
    std::vector<std::u16string> GetResolvedVariablesStartedWith(const std::u16string& s) override;

    // Enter, Esc and Tab arrive here before the view's own handling; true
    // when the key was used up (a row accepted, the list closed, Tab
    // swallowed).
    bool handleEndKey(QKeyEvent* event);
    // Opens, refreshes or hides the popup for the text before the caret;
    // forced by Ctrl+Space.
    void UpdateCompletion(bool forced);

    // The node's text rectangle; the editor keeps its left edge and grows
    // with its text, at least 30 pixels and never past the tree's client area.
    void setTextBounds(const QRect& bounds);

    static constexpr int kMinimumWidth = 30;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fitWidth();

    TETree& fTree;
    TENode* fNode;
    TContentAssist* ContentAssist;
    QRect fTextBounds;
    bool fShownOnce = false;
};

class TETreeStringEditLink : public TETreeDelegate {
    Q_OBJECT
public:
    TETreeStringEditLink(TETree& tree, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // Why the last commit was refused (translated), cleared by the call;
    // empty when it was taken. The view shows it once the editor is closed.
    std::u16string takeRefusal() { return std::exchange(fRefusal, {}); }

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    TETree& fTree;
    mutable std::u16string fRefusal;
};

} // namespace talvoren
