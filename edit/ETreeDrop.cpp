#include "edit/ETreeDrop.h"

#include "base/Translation.h"
#include "model/ETree.h"
#include "model/PushInterface.h"
#include "settings/Exclusions.h"

namespace talvoren {

namespace {

bool isSplit(const TETree& tree, const TENode* node)
{
    const TExclusions* exclusions = tree.GetExclusions();
    return !exclusions || exclusions->isSplit(tree.GetVariableName(node));
}

void push(TETree& tree)
{
    if (IPushInterface* undo = tree.GetPushInterface()) {
        undo->Push();
    }
}

TENode* dropVariable(TETree& source, TENode* variable, TETree& receiver, const TOverwriteQuestion& overwrite,
                     std::u16string* refusal)
{
    const std::u16string name = source.GetVariableName(variable);
    TENode* existing = receiver.FindVariable(name);
    if (existing && receiver.GetVariableReadOnly(existing)) {
        if (refusal) {
            *refusal = trFormat("Variable '%s' is read-only and can't be replaced", receiver.GetVariableName(existing));
        }
        return nullptr;
    }
    if (existing && overwrite && !overwrite(name)) {
        return nullptr;
    }
    push(receiver);
    if (existing) {
        receiver.DeleteNode(existing);
    }
    const std::vector<uint8_t> stream = source.WriteNode(variable);
    TENode* moved = receiver.InsertFromStream(stream, nullptr, 0);
    source.DeleteNode(variable);
    return moved;
}

TENode* dropElement(TETree& source, TENode* element, TETree& receiver, TENode* target, TDropPosition position)
{
    TENode* variable = receiver.GetVariableNode(target);
    size_t row;
    if (target->IsVariable()) {
        row = position == TDropPosition::Below ? 0 : variable->ChildCount();
    } else {
        row = position == TDropPosition::Below ? target->Row() + 1 : target->Row();
    }
    // Not kept in front of the value: the element becomes the value.
    TENode* emptyOne = variable->ChildCount() == 1 ? variable->Child(0) : nullptr;
    if (emptyOne && (emptyOne == element || !receiver.GetElement(emptyOne).empty())) {
        emptyOne = nullptr;
    }
    push(receiver);
    if (&source == &receiver) {
        // MoveElement counts the row after taking the element out.
        if (element->Parent() == variable && element->Row() < row) {
            --row;
        }
        receiver.MoveElement(element, variable, row);
        if (emptyOne) {
            receiver.DeleteNode(emptyOne);
        }
        return element;
    }
    TENode* moved = receiver.InsertFromStream(source.WriteNode(element), variable, row);
    source.DeleteNode(element);
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
    TENode* moved = dragged->IsVariable() ? dropVariable(source, dragged, receiver, overwrite, refusal)
                                          : dropElement(source, dragged, receiver, target, position);
    if (moved) {
        receiver.ActivateNode(moved);
    }
    return moved;
}

} // namespace talvoren
