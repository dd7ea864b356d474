// The editing half of the environment tree: the operations behind the
// window's edit commands. Each one pushes a snapshot of both trees first, so
// that one Undo takes back exactly one operation.

#include "model/ETree.h"
#include "model/NodeInfo.h"
#include "model/PushInterface.h"

namespace talvoren {

void TETree::PushUndo()
{
    if (fUndoStack) {
        fUndoStack->Push();
    }
}

void TETree::FinishEditing()
{
    Notify([](IETreeObserver& o) { o.FinishEditing(); });
}

void TETree::RepaintElements(TENode* variable)
{
    Notify([&](IETreeObserver& o) {
        for (const auto& element : variable->fChildren) {
            o.NodeChanged(element.get());
        }
    });
}

// ---------------------------------------------------------------------------
// Enabling rules

bool TETree::CanAddEmptyElement() const
{
    if (!IsWritable(fFocused)) {
        return false;
    }
    const TENode* variable = GetVariableNode(fFocused);
    // A variable held whole gets a value again only once it has none.
    return SplitFor(GetVariableName(variable)) || variable->ChildCount() == 0;
}

bool TETree::CanAddElement() const
{
    return IsWritable(fFocused) && SplitFor(GetVariableName(fFocused));
}

bool TETree::CanCleanupPaths() const
{
    return IsWritable(fFocused) && fFocused->IsVariable() && SplitFor(GetVariableName(fFocused));
}

bool TETree::CanMoveUp() const
{
    return IsWritableElement(fFocused) && fFocused->Row() > 0;
}

bool TETree::CanMoveDown() const
{
    return IsWritableElement(fFocused) && fFocused->Row() + 1 < fFocused->fParent->ChildCount();
}

bool TETree::CanSetElement() const
{
    return IsWritableElement(fFocused);
}

// ---------------------------------------------------------------------------
// Adding

TENode* TETree::InsertAtFocus(const std::u16string& text)
{
    if (!fFocused) {
        return nullptr;
    }
    TENode* element = fFocused->IsVariable() ? InsertElement(fFocused, 0, text)
                                             : InsertElement(fFocused->fParent, fFocused->Row() + 1, text);
    ActivateNode(element);
    return element;
}

void TETree::UndoableAddEmptyElement()
{
    if (!CanAddEmptyElement()) {
        return;
    }
    FinishEditing();
    PushUndo();
    if (TENode* element = InsertAtFocus(u"")) {
        fOnEdited = false;
        Notify([&](IETreeObserver& o) { o.EditNode(element); });
    }
}

void TETree::UndoableAddElement(const std::u16string& value)
{
    if (!CanAddElement()) {
        return;
    }
    FinishEditing();
    PushUndo();
    InsertAtFocus(value);
}

void TETree::UndoableAddEmptyVariable(const std::u16string& name, uint8_t datatype, bool readOnly)
{
    if (!IsEditable()) {
        return;
    }
    PushUndo();
    TENode* variable = AddVariable(name, u"", datatype, readOnly);
    // AddVariable gives every variable at least one element: the user types
    // the value into it at once.
    TENode* element = variable->Child(0);
    ActivateNode(element);
    fOnEdited = false;
    Notify([&](IETreeObserver& o) { o.EditNode(element); });
}

void TETree::UndoableAddVariable(const std::u16string& name, const std::u16string& value, uint8_t datatype,
                                 bool readOnly)
{
    if (!IsEditable()) {
        return;
    }
    PushUndo();
    AddVariable(name, value, datatype, readOnly);
}

void TETree::UndoableReplaceVariable(const std::u16string& name, const std::u16string& value)
{
    TENode* variable = FindVariable(name);
    if (!variable || !IsWritable(variable)) {
        return;
    }
    PushUndo();
    SetVariableValue(variable, value);
    ActivateNode(variable);
}

// ---------------------------------------------------------------------------
// Changing

void TETree::UndoableChangeType()
{
    if (!CanChangeFocusedNode()) {
        return;
    }
    PushUndo();
    TENode* variable = GetVariableNode(fFocused);
    SetVariableType(variable, GetVariableType(variable) == kDataTypeString ? kDataTypeExpandString : kDataTypeString);
    // Elements show their expanded form for one type only.
    RepaintElements(variable);
}

void TETree::UndoableCleanupPaths()
{
    if (!CanCleanupPaths()) {
        return;
    }
    PushUndo();
    SetVariableValue(fFocused, CleanupValue(GetVariableValue(fFocused), fPlatform.locale()));
}

void TETree::MoveFocused(int step)
{
    // The first element has no place above it and the last none below.
    if (step < 0 ? !CanMoveUp() : !CanMoveDown()) {
        return;
    }
    FinishEditing();
    PushUndo();
    TENode* element = fFocused;
    // Rows count after the element is taken out: one down lands one further.
    const size_t row = element->Row();
    MoveElement(element, element->fParent, step < 0 ? row - 1 : row + 1);
    ActivateNode(element);
}

void TETree::UndoableMoveUp()
{
    MoveFocused(-1);
}

void TETree::UndoableMoveDown()
{
    MoveFocused(+1);
}

void TETree::UndoableRewriteElements(const std::function<std::u16string(const TENode*)>& proc)
{
    if (!CanChangeFocusedNode()) {
        return;
    }
    PushUndo();
    if (fFocused->IsVariable()) {
        for (size_t row = 0; row < fFocused->ChildCount(); ++row) {
            TENode* element = fFocused->Child(row);
            SetElementText(element, proc(element));
        }
    } else {
        SetElementText(fFocused, proc(fFocused));
    }
}

void TETree::UndoableLong2Short()
{
    UndoableRewriteElements(
        [this](const TENode* node) { return ToShortPath(GetElement(node), fPlatform.fileSystem()); });
}

void TETree::UndoableShort2Long()
{
    UndoableRewriteElements(
        [this](const TENode* node) { return ToLongPath(GetElement(node), fPlatform.fileSystem()); });
}

std::u16string TETree::UndoableInline()
{
    if (!CanChangeFocusedNode()) {
        return {};
    }
    // The displayed form, unchanged for a string variable. A failure text is
    // no value: an expansion that fails anywhere leaves every element as it is.
    std::vector<const TENode*> elements;
    if (fFocused->IsVariable()) {
        for (size_t row = 0; row < fFocused->ChildCount(); ++row) {
            elements.push_back(fFocused->Child(row));
        }
    } else {
        elements.push_back(fFocused);
    }
    for (const TENode* element : elements) {
        if (const TExpansionFailure failure = GetElementExFailure(element); failure != TExpansionFailure::None) {
            return ExpansionFailureText(failure);
        }
    }
    UndoableRewriteElements([this](const TENode* node) { return GetElementEx(node); });
    return {};
}

void TETree::SetElement(const std::u16string& value)
{
    if (!CanSetElement()) {
        return;
    }
    FinishEditing();
    PushUndo();
    SetElementText(fFocused, value);
}

// ---------------------------------------------------------------------------
// Deleting

void TETree::DeleteSelectedNodes()
{
    if (!CanChangeFocusedNode()) {
        return;
    }
    PushUndo();
    // The tree keeps at most one selected node, the focused one: the node
    // the question named.
    TENode* doomed = IsSelected(fFocused) ? fFocused : nullptr;
    if (!doomed) {
        return;
    }
    // Where the focus goes afterwards: a visible sibling, else the variable.
    TENode* next = nullptr;
    const auto& siblings = doomed->fParent->fChildren;
    for (size_t row = doomed->Row() + 1; row < siblings.size() && !next; ++row) {
        next = siblings[row]->IsHidden() ? nullptr : siblings[row].get();
    }
    for (size_t row = doomed->Row(); row-- > 0 && !next;) {
        next = siblings[row]->IsHidden() ? nullptr : siblings[row].get();
    }
    if (!next && !doomed->IsVariable()) {
        next = doomed->fParent;
    }
    DeleteNode(doomed);
    if (next) {
        ActivateNode(next);
    } else {
        SetFocusedNode(nullptr);
        ClearSelection();
    }
}

} // namespace talvoren
