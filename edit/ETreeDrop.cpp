#include "edit/ETreeDrop.h"

#include "base/Translation.h"
#include "edit/ETreeEditing.h"
#include "model/ETree.h"
#include "model/PushInterface.h"
#include "settings/Exclusions.h"

#include <algorithm>

namespace talvoren {

namespace {

bool isSplit(const TETree& tree, const TENode* node)
{
    const TExclusions* exclusions = tree.GetExclusions();
    return !exclusions || exclusions->isSplit(tree.GetVariableName(node));
}

void push(TETree& tree, const std::u16string& description)
{
    if (IPushInterface* undo = tree.GetPushInterface()) {
        undo->Push(description);
    }
}

std::vector<TENode*> dropVariables(TETree& source, const std::vector<TENode*>& variables, TETree& receiver,
                                   const TOverwriteQuestion& overwrite, std::u16string* refusal)
{
    for (const TENode* variable : variables) {
        TENode* existing = receiver.FindVariable(source.GetVariableName(variable));
        if (existing && receiver.GetVariableReadOnly(existing)) {
            if (refusal) {
                *refusal
                    = trFormat("Variable '%s' is read-only and can't be replaced", receiver.GetVariableName(existing));
            }
            return {};
        }
    }
    // Every question before the first change: a No keeps that one where it is.
    std::vector<TENode*> moving;
    for (TENode* variable : variables) {
        const std::u16string name = source.GetVariableName(variable);
        if (!receiver.FindVariable(name) || !overwrite || overwrite(name)) {
            moving.push_back(variable);
        }
    }
    if (moving.empty()) {
        return {};
    }
    push(receiver, trFormat("Move %s", StepSubject(source, moving)));
    std::vector<TENode*> moved;
    for (TENode* variable : moving) {
        if (TENode* existing = receiver.FindVariable(source.GetVariableName(variable))) {
            receiver.DeleteNode(existing);
        }
        moved.push_back(receiver.InsertFromStream(source.WriteNode(variable), nullptr, 0));
        source.DeleteNode(variable);
    }
    return moved;
}

std::vector<TENode*> dropElements(TETree& source, const std::vector<TENode*>& elements, TETree& receiver,
                                  TENode* target, TDropPosition position)
{
    TENode* variable = receiver.GetVariableNode(target);
    size_t row;
    if (target->IsVariable()) {
        row = position == TDropPosition::Below ? 0 : variable->ChildCount();
    } else {
        row = position == TDropPosition::Below ? target->Row() + 1 : target->Row();
    }
    // Not kept in front of the value: the elements become the value.
    TENode* emptyOne = variable->ChildCount() == 1 ? variable->Child(0) : nullptr;
    if (emptyOne
        && (std::find(elements.begin(), elements.end(), emptyOne) != elements.end()
            || !receiver.GetElement(emptyOne).empty())) {
        emptyOne = nullptr;
    }
    push(receiver, trFormat("Move %s", StepSubject(source, elements)));
    std::vector<TENode*> moved;
    for (TENode* element : elements) {
        if (&source == &receiver) {
            // MoveElement counts the row after taking the element out.
            size_t at = row;
            if (element->Parent() == variable && element->Row() < at) {
                --at;
            }
            receiver.MoveElement(element, variable, at);
            moved.push_back(element);
        } else {
            moved.push_back(receiver.InsertFromStream(source.WriteNode(element), variable, row));
            source.DeleteNode(element);
        }
        row = moved.back()->Row() + 1;
    }
    if (emptyOne) {
        receiver.DeleteNode(emptyOne);
    }
    return moved;
}

} // namespace

bool CanStartDrag(const TETree& tree, const TENode* node)
{
    return node && tree.IsWritable(node);
}

bool CanDrop(const TETree& source, const TENode* dragged, const TETree& receiver, const TENode* target)
{
    if (!dragged || dragged == target || !receiver.IsEditable()) {
        return false;
    }
    if (dragged->IsVariable()) {
        return &source != &receiver;
    }
    return target && receiver.IsWritable(target) && isSplit(receiver, target);
}

TENode* DropNode(TETree& source, TENode* dragged, TETree& receiver, TENode* target, TDropPosition position,
                 const TOverwriteQuestion& overwrite, std::u16string* refusal)
{
    return DropNodes(source, {dragged}, receiver, target, position, overwrite, refusal);
}

bool CanDropAll(const TETree& source, const std::vector<TENode*>& dragged, const TETree& receiver, const TENode* target)
{
    return !dragged.empty() && std::all_of(dragged.begin(), dragged.end(), [&](const TENode* node) {
        return TETree::SameSelectionGroup(dragged.front(), node) && CanDrop(source, node, receiver, target);
    });
}

TENode* DropNodes(TETree& source, const std::vector<TENode*>& dragged, TETree& receiver, TENode* target,
                  TDropPosition position, const TOverwriteQuestion& overwrite, std::u16string* refusal)
{
    if (dragged.empty()) {
        return nullptr;
    }
    const std::vector<TENode*> moved = dragged.front()->IsVariable()
        ? dropVariables(source, dragged, receiver, overwrite, refusal)
        : dropElements(source, dragged, receiver, target, position);
    if (moved.empty()) {
        return nullptr;
    }
    receiver.ActivateNode(moved.front());
    receiver.SetSelection(moved);
    return moved.front();
}

} // namespace talvoren
