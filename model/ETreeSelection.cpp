// Focus and selection of one tree: the focused node is the one the edit
// operations act on; the selection is the nodes of one group (see ETree.h)
// that Delete, Copy, Cut, the moves and the clean-up act on together.

#include "model/ETree.h"

#include <algorithm>

namespace talvoren {

void TETree::SetFocusedNode(TENode* node)
{
    if (fFocused == node) {
        return;
    }
    fFocused = node;
    Notify([&](IETreeObserver& o) { o.FocusChanged(node); });
}

bool TETree::IsSelected(const TENode* node) const
{
    return std::find(fSelected.begin(), fSelected.end(), node) != fSelected.end();
}

std::vector<TENode*> TETree::GetSelectedNodes() const
{
    std::vector<TENode*> out = fSelected;
    auto key = [](const TENode* n) {
        return n->IsVariable() ? std::pair(n->Row(), size_t{0}) : std::pair(n->fParent->Row(), n->Row() + 1);
    };
    std::sort(out.begin(), out.end(), [&](const TENode* a, const TENode* b) { return key(a) < key(b); });
    return out;
}

bool TETree::SameSelectionGroup(const TENode* a, const TENode* b)
{
    if (!a || !b || a->IsVariable() != b->IsVariable()) {
        return false;
    }
    return a->IsVariable() || a->fParent == b->fParent;
}

void TETree::SetSelected(TENode* node, bool selected)
{
    if (!node || IsSelected(node) == selected || (selected && GetVariableNode(node)->IsHidden())) {
        return;
    }
    if (selected) {
        const TENode* group = fFocused ? fFocused : (fSelected.empty() ? node : fSelected.front());
        if (!SameSelectionGroup(group, node)) {
            fSelected.clear();
        }
        fSelected.push_back(node);
    } else {
        fSelected.erase(std::find(fSelected.begin(), fSelected.end(), node));
    }
    Notify([](IETreeObserver& o) { o.SelectionChanged(); });
}

void TETree::SetSelection(const std::vector<TENode*>& nodes)
{
    const TENode* group = fFocused;
    std::vector<TENode*> kept;
    for (TENode* node : nodes) {
        group = group ? group : node;
        const bool fits = node && SameSelectionGroup(group, node) && !GetVariableNode(node)->IsHidden();
        if (fits && std::find(kept.begin(), kept.end(), node) == kept.end()) {
            kept.push_back(node);
        }
    }
    auto sorted = [](std::vector<TENode*> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    if (sorted(kept) == sorted(fSelected)) {
        return;
    }
    fSelected = std::move(kept);
    Notify([](IETreeObserver& o) { o.SelectionChanged(); });
}

void TETree::ClearSelection()
{
    if (fSelected.empty()) {
        return;
    }
    fSelected.clear();
    Notify([](IETreeObserver& o) { o.SelectionChanged(); });
}

void TETree::ActivateNode(TENode* node)
{
    SetFocusedNode(node);
    const bool onlyThis = node ? (fSelected.size() == 1 && fSelected.front() == node) : fSelected.empty();
    if (!onlyThis) {
        fSelected.clear();
        if (node) {
            fSelected.push_back(node);
        }
        Notify([](IETreeObserver& o) { o.SelectionChanged(); });
    }
}

uint32_t TETree::GetFocusPosition() const
{
    if (!fFocused) {
        return 0;
    }
    const TENode* variable = GetVariableNode(fFocused);
    size_t position = 0;
    for (size_t i = 0; i < variable->Row(); ++i) {
        position += 1 + Variable(i)->ChildCount();
    }
    if (!fFocused->IsVariable()) {
        position += 1 + fFocused->Row();
    }
    return static_cast<uint32_t>(position);
}

void TETree::ActivateNodeAtPosition(uint32_t position)
{
    TENode* node = GetFirstNode();
    if (!node) {
        return;
    }
    // By whole variables first, so a far position costs one step per variable.
    size_t remaining = position;
    while (node->Row() + 1 < VariableCount() && remaining >= 1 + node->ChildCount()) {
        remaining -= 1 + node->ChildCount();
        node = Variable(node->Row() + 1);
    }
    if (remaining > 0) {
        node = node->ChildCount() ? node->Child(std::min(remaining - 1, node->ChildCount() - 1)) : node;
    }
    ActivateNode(node);
}

} // namespace talvoren
