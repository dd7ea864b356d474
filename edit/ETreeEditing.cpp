// The operations behind the window's edit commands; see ETreeEditing.h.

#include "edit/ETreeEditing.h"

#include "base/Translation.h"
#include "edit/VariableClipboard.h"
#include "model/ETree.h"
#include "model/EffectiveEnvironment.h"
#include "model/NodeInfo.h"
#include "model/PathChecks.h"
#include "model/PushInterface.h"
#include "model/VariableName.h"

#include <algorithm>

namespace talvoren {

namespace {
std::u16string Count(size_t n)
{
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
        n /= 10;
    } while (n);
    return digits;
}
} // namespace

void TETreeEditing::PushUndo(const std::u16string& description)
{
    if (IPushInterface* undo = fTree.GetPushInterface()) {
        undo->Push(description);
    }
}

bool TETreeEditing::IsWritableElement(const TENode* node) const
{
    return node && !node->IsVariable() && fTree.IsWritable(node);
}

// ---------------------------------------------------------------------------
// Enabling rules

bool TETreeEditing::CanChangeFocusedNode() const
{
    return fTree.IsWritable(fTree.GetFocusedNode());
}

bool TETreeEditing::CanAddEmptyElement() const
{
    const TENode* focused = fTree.GetFocusedNode();
    if (!fTree.IsWritable(focused)) {
        return false;
    }
    const TENode* variable = fTree.GetVariableNode(focused);
    // A variable held whole gets a value again only once it has none.
    return fTree.SplitFor(fTree.GetVariableName(variable)) || variable->ChildCount() == 0;
}

bool TETreeEditing::CanAddElement() const
{
    const TENode* focused = fTree.GetFocusedNode();
    return fTree.IsWritable(focused) && fTree.SplitFor(fTree.GetVariableName(focused));
}

bool TETreeEditing::CanPasteText(bool variableText) const
{
    const TENode* focused = fTree.GetFocusedNode();
    const bool variableLevel = !focused || focused->IsVariable();
    return CanAddElement() || (variableText && variableLevel && fTree.IsEditable());
}

bool TETreeEditing::CanCleanupPaths() const
{
    const std::vector<TENode*> nodes = SelectedNodes();
    return !nodes.empty() && std::all_of(nodes.begin(), nodes.end(), [this](const TENode* node) {
        return node->IsVariable() && fTree.SplitFor(fTree.GetVariableName(node));
    });
}

bool TETreeEditing::CanMoveUp() const
{
    // One group: the first in tree order is the topmost.
    const std::vector<TENode*> nodes = SelectedNodes();
    return !nodes.empty() && IsWritableElement(nodes.front()) && nodes.front()->Row() > 0;
}

bool TETreeEditing::CanMoveDown() const
{
    const std::vector<TENode*> nodes = SelectedNodes();
    return !nodes.empty() && IsWritableElement(nodes.back())
        && nodes.back()->Row() + 1 < nodes.back()->Parent()->ChildCount();
}

bool TETreeEditing::CanSetElement() const
{
    return IsWritableElement(fTree.GetFocusedNode());
}

// ---------------------------------------------------------------------------
// Adding

TENode* TETreeEditing::InsertAtFocus(const std::u16string& text)
{
    TENode* focused = fTree.GetFocusedNode();
    if (!focused) {
        return nullptr;
    }
    TENode* variable = fTree.GetVariableNode(focused);
    TENode* element;
    if (variable->ChildCount() == 1 && fTree.GetElement(variable->Child(0)).empty()) {
        // An empty value has no element to keep in front: a value added to
        // it is the value alone, as on the command line.
        element = variable->Child(0);
        fTree.SetElementText(element, text);
    } else if (focused->IsVariable()) {
        element = fTree.InsertElement(focused, 0, text);
    } else {
        element = fTree.InsertElement(focused->Parent(), focused->Row() + 1, text);
    }
    fTree.ActivateNode(element);
    return element;
}

void TETreeEditing::UndoableAddEmptyElement()
{
    if (!CanAddEmptyElement()) {
        return;
    }
    fTree.FinishEditing();
    PushUndo(trFormat("Add a value to %s", QuotedStep(fTree.GetVariableName(fTree.GetFocusedNode()))));
    if (TENode* element = InsertAtFocus(u"")) {
        fTree.SetOnEdited(false);
        fTree.OpenEditor(element);
    }
}

void TETreeEditing::UndoableAddElement(const std::u16string& value)
{
    UndoableAddElements({value});
}

void TETreeEditing::UndoableAddElements(const std::vector<std::u16string>& values)
{
    if (!CanAddElement() || values.empty()) {
        return;
    }
    fTree.FinishEditing();
    const std::u16string& name = fTree.GetVariableName(fTree.GetFocusedNode());
    PushUndo(trFormat("Add %s",
                      values.size() == 1 ? QuotedStep(values.front())
                                         : trFormat("%s elements of '%s'", Count(values.size()), name)));
    // Each one lands after the one before, the focus following.
    for (const std::u16string& value : values) {
        InsertAtFocus(value);
    }
}

void TETreeEditing::UndoableAddEmptyVariable(const std::u16string& name, uint8_t datatype, bool readOnly)
{
    if (!fTree.IsEditable()) {
        return;
    }
    PushUndo(trFormat("Add %s", QuotedStep(name)));
    TENode* variable = fTree.AddVariable(name, u"", datatype, readOnly);
    // AddVariable gives every variable at least one element: the user types
    // the value into it at once.
    TENode* element = variable->Child(0);
    fTree.ActivateNode(element);
    fTree.SetOnEdited(false);
    fTree.OpenEditor(element);
}

void TETreeEditing::UndoableAddVariable(const std::u16string& name, const std::u16string& value, uint8_t datatype,
                                        bool readOnly)
{
    if (!fTree.IsEditable()) {
        return;
    }
    PushUndo(trFormat("Add %s", QuotedStep(name)));
    fTree.AddVariable(name, value, datatype, readOnly);
}

void TETreeEditing::UndoableReplaceVariable(const std::u16string& name, const std::u16string& value)
{
    TENode* variable = fTree.FindVariable(name);
    if (!variable || !fTree.IsWritable(variable)) {
        return;
    }
    PushUndo(trFormat("Edit %s", StepSubject(fTree, {variable})));
    fTree.SetVariableValue(variable, value);
    fTree.ActivateNode(variable);
}

// ---------------------------------------------------------------------------
// Pasting

std::u16string TETreeEditing::PasteVariable(const TVariableRecord& record, const TOverwriteQuestion& overwrite)
{
    // Another program's record may carry a name Windows would misread.
    if (std::u16string error = VariableNameError(record.name); !error.empty()) {
        return error;
    }
    if (std::u16string error = ValueTextError(record.value); !error.empty()) {
        return error;
    }
    if (!fTree.IsEditable()) {
        return {};
    }
    if (TENode* existing = fTree.FindVariable(record.name)) {
        if (fTree.GetVariableReadOnly(existing)) {
            return trFormat("Variable '%s' is read-only and can't be replaced", fTree.GetVariableName(existing));
        }
        if (overwrite && overwrite(record.name)) {
            UndoableReplaceVariable(record.name, record.value);
        }
        return {};
    }
    UndoableAddVariable(record.name, record.value, record.dataType, false);
    return {};
}

std::u16string TETreeEditing::PasteText(const std::u16string& text, const TOverwriteQuestion& overwrite)
{
    const TENode* focused = fTree.GetFocusedNode();
    const TPastedText pasted = ReadPastedText(text, !focused || focused->IsVariable());
    if (!pasted.refusal.empty()) {
        return pasted.refusal;
    }
    if (pasted.variable) {
        return PasteVariable(*pasted.variable, overwrite);
    }
    if (!pasted.variables.empty()) {
        return PasteVariables(pasted.variables, overwrite);
    }
    UndoableAddElements(pasted.elements);
    return {};
}

// ---------------------------------------------------------------------------
// Changing

void TETreeEditing::UndoableChangeType()
{
    if (!CanChangeFocusedNode()) {
        return;
    }
    TENode* variable = fTree.GetVariableNode(fTree.GetFocusedNode());
    PushUndo(trFormat("Change type of %s", StepSubject(fTree, {variable})));
    fTree.SetVariableType(variable,
                          fTree.GetVariableType(variable) == kDataTypeString ? kDataTypeExpandString : kDataTypeString);
    // Elements show their expanded form for one type only.
    fTree.RepaintElements(variable);
}

void TETreeEditing::UndoableCleanupPaths(bool alsoInSystemPath)
{
    if (!CanCleanupPaths()) {
        return;
    }
    const std::vector<TENode*> variables = SelectedNodes();
    PushUndo(trFormat("Clean up %s", StepSubject(fTree, variables)));
    for (TENode* variable : variables) {
        std::vector<std::u16string> kept;
        for (size_t row = 0; row < variable->ChildCount(); ++row) {
            const TENode* element = variable->Child(row);
            if (!alsoInSystemPath || !element->IsInSystemPath()) {
                kept.push_back(fTree.GetElement(element));
            }
        }
        fTree.SetVariableValue(variable, CleanupValue(JoinValue(kept), fTree.Platform().locale()));
    }
}

std::vector<std::u16string> TETreeEditing::ElementsAlsoInSystemPath() const
{
    std::vector<std::u16string> elements;
    if (!CanCleanupPaths()) {
        return elements;
    }
    for (const TENode* variable : SelectedNodes()) {
        for (size_t row = 0; row < variable->ChildCount(); ++row) {
            if (variable->Child(row)->IsInSystemPath()) {
                elements.push_back(fTree.GetElement(variable->Child(row)));
            }
        }
    }
    return elements;
}

void TETreeEditing::MoveFocused(int step)
{
    // The first element has no place above it and the last none below.
    if (step < 0 ? !CanMoveUp() : !CanMoveDown()) {
        return;
    }
    fTree.FinishEditing();
    const std::vector<TENode*> moving = SelectedNodes();
    PushUndo(trFormat("Move %s", StepSubject(fTree, moving)));
    TENode* focused = fTree.GetFocusedNode();
    // The one nearest the end it moves to goes first, so none passes another.
    for (size_t i = 0; i < moving.size(); ++i) {
        TENode* element = moving[step < 0 ? i : moving.size() - 1 - i];
        // Rows count after the element is taken out: one down lands one further.
        const size_t row = element->Row();
        fTree.MoveElement(element, element->Parent(), step < 0 ? row - 1 : row + 1);
    }
    if (std::find(moving.begin(), moving.end(), focused) == moving.end()) {
        focused = moving.front();
    }
    fTree.SetFocusedNode(focused);
    fTree.SetSelection(moving);
}

void TETreeEditing::UndoableMoveUp()
{
    MoveFocused(-1);
}

void TETreeEditing::UndoableMoveDown()
{
    MoveFocused(+1);
}

void TETreeEditing::UndoableRewriteElements(const std::function<std::u16string(const TENode*)>& proc,
                                            const std::u16string& description)
{
    if (!CanChangeFocusedNode()) {
        return;
    }
    PushUndo(description);
    TENode* focused = fTree.GetFocusedNode();
    if (focused->IsVariable()) {
        for (size_t row = 0; row < focused->ChildCount(); ++row) {
            TENode* element = focused->Child(row);
            fTree.SetElementText(element, proc(element));
        }
    } else {
        fTree.SetElementText(focused, proc(focused));
    }
}

void TETreeEditing::UndoableLong2Short()
{
    UndoableRewriteElements(
        [this](const TENode* node) { return ToShortPath(fTree.GetElement(node), fTree.Platform().fileSystem()); },
        trFormat("Convert %s", StepSubject(fTree, {fTree.GetFocusedNode()})));
}

void TETreeEditing::UndoableShort2Long()
{
    UndoableRewriteElements(
        [this](const TENode* node) { return ToLongPath(fTree.GetElement(node), fTree.Platform().fileSystem()); },
        trFormat("Convert %s", StepSubject(fTree, {fTree.GetFocusedNode()})));
}

std::u16string TETreeEditing::UndoableInline()
{
    if (!CanChangeFocusedNode()) {
        return {};
    }
    // The displayed form, unchanged for a string variable. A failure text is
    // no value: an expansion that fails anywhere leaves every element as it is.
    const TENode* focused = fTree.GetFocusedNode();
    std::vector<const TENode*> elements;
    if (focused->IsVariable()) {
        for (size_t row = 0; row < focused->ChildCount(); ++row) {
            elements.push_back(focused->Child(row));
        }
    } else {
        elements.push_back(focused);
    }
    for (const TENode* element : elements) {
        if (const TExpansionFailure failure = fTree.GetElementExFailure(element); failure != TExpansionFailure::None) {
            return TETree::ExpansionFailureText(failure);
        }
    }
    UndoableRewriteElements([this](const TENode* node) { return fTree.GetElementEx(node); },
                            trFormat("Inline %s", StepSubject(fTree, {fTree.GetFocusedNode()})));
    return {};
}

void TETreeEditing::SetElement(const std::u16string& value)
{
    if (!CanSetElement()) {
        return;
    }
    fTree.FinishEditing();
    PushUndo(trFormat("Edit %s", QuotedStep(value)));
    fTree.SetElementText(fTree.GetFocusedNode(), value);
}

// ---------------------------------------------------------------------------
// Deleting

void TETreeEditing::DeleteSelectedNodes()
{
    RemoveSelected(false);
}

// ---------------------------------------------------------------------------
// Several nodes at once

std::vector<TENode*> TETreeEditing::SelectedNodes() const
{
    std::vector<TENode*> nodes = fTree.GetSelectedNodes();
    for (const TENode* node : nodes) {
        if (!fTree.IsWritable(node)) {
            return {};
        }
    }
    return nodes;
}

void TETreeEditing::CutSelectedNodes()
{
    RemoveSelected(true);
}

void TETreeEditing::RemoveSelected(bool cut)
{
    const std::vector<TENode*> doomed = SelectedNodes();
    if (doomed.empty()) {
        return;
    }
    const std::u16string subject = StepSubject(fTree, doomed);
    PushUndo(cut ? trFormat("Cut %s", subject) : trFormat("Delete %s", subject));
    // Where the focus goes afterwards: a visible sibling after the last one
    // that goes, else before the first, else the variable.
    TENode* parent = doomed.front()->Parent();
    const size_t siblings = parent ? parent->ChildCount() : fTree.VariableCount();
    auto visible = [&](size_t row) -> TENode* {
        TENode* sibling = parent ? parent->Child(row) : fTree.Variable(row);
        const bool goes = std::find(doomed.begin(), doomed.end(), sibling) != doomed.end();
        return sibling->IsHidden() || goes ? nullptr : sibling;
    };
    TENode* next = nullptr;
    for (size_t row = doomed.back()->Row() + 1; row < siblings && !next; ++row) {
        next = visible(row);
    }
    for (size_t row = doomed.front()->Row(); row-- > 0 && !next;) {
        next = visible(row);
    }
    if (!next && parent) {
        next = parent;
    }
    for (TENode* node : doomed) {
        fTree.DeleteNode(node);
    }
    if (next) {
        fTree.ActivateNode(next);
    } else {
        fTree.SetFocusedNode(nullptr);
        fTree.ClearSelection();
    }
}

std::u16string TETreeEditing::PasteVariables(const std::vector<TVariableRecord>& records,
                                             const TOverwriteQuestion& overwrite)
{
    for (const TVariableRecord& record : records) {
        if (std::u16string error = VariableNameError(record.name); !error.empty()) {
            return error;
        }
        if (std::u16string error = ValueTextError(record.value); !error.empty()) {
            return error;
        }
        if (const TENode* existing = fTree.FindVariable(record.name); existing && fTree.GetVariableReadOnly(existing)) {
            return trFormat("Variable '%s' is read-only and can't be replaced", fTree.GetVariableName(existing));
        }
    }
    if (!fTree.IsEditable()) {
        return {};
    }
    // Every question before the first change.
    std::vector<const TVariableRecord*> pasting;
    for (const TVariableRecord& record : records) {
        if (!fTree.FindVariable(record.name) || (overwrite && overwrite(record.name))) {
            pasting.push_back(&record);
        }
    }
    if (pasting.empty()) {
        return {};
    }
    PushUndo(trFormat("Paste %s",
                      pasting.size() == 1 ? QuotedStep(pasting.front()->name)
                                          : trFormat("%s variables", Count(pasting.size()))));
    std::vector<TENode*> pasted;
    for (const TVariableRecord* record : pasting) {
        if (TENode* existing = fTree.FindVariable(record->name)) {
            fTree.SetVariableValue(existing, record->value);
            pasted.push_back(existing);
        } else {
            pasted.push_back(fTree.AddVariable(record->name, record->value, record->dataType, false));
        }
    }
    fTree.ActivateNode(pasted.front());
    fTree.SetSelection(pasted);
    return {};
}

namespace {
// Long enough to recognise a path, short enough for a menu.
constexpr size_t kStepTextLength = 40;
} // namespace

std::u16string QuotedStep(const std::u16string& text)
{
    if (text.size() <= kStepTextLength) {
        return u"'" + text + u"'";
    }
    size_t cut = kStepTextLength - 1;
    // Never half of a surrogate pair.
    if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) {
        --cut;
    }
    return u"'" + text.substr(0, cut) + u"\u2026'";
}

std::u16string StepSubject(const TETree& tree, const std::vector<TENode*>& nodes)
{
    if (nodes.empty() || !nodes.front()) {
        return {};
    }
    const TENode* first = nodes.front();
    if (nodes.size() == 1) {
        return QuotedStep(first->IsVariable() ? tree.GetVariableName(first) : tree.GetElement(first));
    }
    return first->IsVariable() ? trFormat("%s variables", Count(nodes.size()))
                               : trFormat("%s elements of '%s'", Count(nodes.size()), tree.GetVariableName(first));
}

} // namespace talvoren
