// The editing half of the environment tree: the operations behind the
// window's edit commands. Each one pushes a snapshot of both trees first, so
// that one Undo takes back exactly one operation.

#include "edit/PushInterface.h"
#include "model/ETree.h"
#include "model/NodeInfo.h"

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
    FinishEditing();
    PushUndo();
    if (TENode* element = InsertAtFocus(u"")) {
        fOnEdited = false;
        Notify([&](IETreeObserver& o) { o.EditNode(element); });
    }
}

void TETree::UndoableAddElement(const std::u16string& value)
{
    FinishEditing();
    PushUndo();
    InsertAtFocus(value);
}

void TETree::UndoableAddEmptyVariable(const std::u16string& name, uint8_t datatype, bool readOnly)
{
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
    PushUndo();
    AddVariable(name, value, datatype, readOnly);
}

void TETree::UndoableReplaceVariable(const std::u16string& name, const std::u16string& value)
{
    PushUndo();
    if (TENode* variable = FindVariable(name)) {
        SetVariableValue(variable, value);
        ActivateNode(variable);
    }
}

// ---------------------------------------------------------------------------
// Changing

void TETree::UndoableChangeType()
{
    PushUndo();
    TENode* variable = GetVariableNode(fFocused);
    if (!variable) {
        return;
    }
    SetVariableType(variable, GetVariableType(variable) == kDataTypeString ? kDataTypeExpandString : kDataTypeString);
    // Elements show their expanded form for one type only.
    RepaintElements(variable);
}

void TETree::UndoableCleanupPaths()
{
    PushUndo();
    if (TENode* variable = GetVariableNode(fFocused)) {
        SetVariableValue(variable, CleanupValue(GetVariableValue(variable), fPlatform.locale()));
    }
}

void TETree::MoveFocused(int step)
{
    FinishEditing();
    PushUndo();
    TENode* element = fFocused;
    if (!element || element->IsVariable()) {
        return;
    }
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

void TETree::UndoableDoSomething(const std::function<std::u16string(const TENode*)>& proc)
{
    PushUndo();
    if (!fFocused) {
        return;
    }
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
    UndoableDoSomething([this](const TENode* node) { return ToShortPath(GetElement(node), fPlatform.fileSystem()); });
}

void TETree::UndoableShort2Long()
{
    UndoableDoSomething([this](const TENode* node) { return ToLongPath(GetElement(node), fPlatform.fileSystem()); });
}

void TETree::UndoableInline()
{
    // The displayed form: unchanged for a string variable, "Infinite loop
    // detected" where the references never settle.
    UndoableDoSomething([this](const TENode* node) { return GetElementEx(node); });
}

void TETree::SetElement(const std::u16string& value)
{
    FinishEditing();
    PushUndo();
    if (fFocused && !fFocused->IsVariable()) {
        SetElementText(fFocused, value);
    }
}

// ---------------------------------------------------------------------------
// Deleting

void TETree::DeleteSelectedNodes()
{
    PushUndo();
    // Where the focus goes afterwards: a node that outlives the deletion.
    auto survives = [this](const TENode* node) {
        return !node->IsHidden() && !IsSelected(node) && !(node->Parent() && IsSelected(node->Parent()));
    };
    TENode* next = nullptr;
    if (TENode* focused = fFocused) {
        const auto& siblings = focused->fParent->fChildren;
        for (size_t row = focused->Row() + 1; row < siblings.size() && !next; ++row) {
            next = survives(siblings[row].get()) ? siblings[row].get() : nullptr;
        }
        for (size_t row = focused->Row(); row-- > 0 && !next;) {
            next = survives(siblings[row].get()) ? siblings[row].get() : nullptr;
        }
        if (!next && !focused->IsVariable() && survives(focused->fParent)) {
            next = focused->fParent;
        }
    }
    // In tree order a variable comes before its elements, and deleting it
    // takes them out of the selection with it.
    while (!fSelected.empty()) {
        DeleteNode(GetSelectedNodes().front());
    }
    if (next) {
        ActivateNode(next);
    } else {
        SetFocusedNode(nullptr);
        ClearSelection();
    }
}

} // namespace talvoren
