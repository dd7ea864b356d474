// Find over both trees: names of variables and texts of elements, in walking
// order (every variable followed by its elements, expanded or not), forwards
// or backwards, coming round to the start of the walk when nothing follows.

#include "model/ETree.h"

namespace talvoren {

bool TETree::MatchesFindText(const TENode* node, const std::u16string& text, const TFindOptions& options) const
{
    if (!node || text.empty()) {
        return false;
    }
    // A value is searched per element: text across a ';' is never found.
    const std::u16string& searched = node->IsVariable() ? GetVariableName(node) : GetElement(node);
    if (options.matchCase) {
        return options.wholeElement ? searched == text : searched.find(text) != std::u16string::npos;
    }
    platform::ILocale& locale = fPlatform.locale();
    const std::u16string folded = locale.foldCase(searched);
    const std::u16string wanted = locale.foldCase(text);
    return options.wholeElement ? folded == wanted : folded.find(wanted) != std::u16string::npos;
}

TENode* TETree::GetPreviousNode(const TENode* node) const
{
    // The last node of the variable at `row`: its last element, or itself.
    auto lastOf = [this](size_t row) {
        TENode* variable = Variable(row);
        return variable->ChildCount() ? variable->Child(variable->ChildCount() - 1) : variable;
    };
    if (!node) {
        return VariableCount() ? lastOf(VariableCount() - 1) : nullptr;
    }
    if (!node->IsVariable()) {
        TENode* variable = node->Parent();
        return node->Row() > 0 ? variable->Child(node->Row() - 1) : variable;
    }
    return node->Row() > 0 ? lastOf(node->Row() - 1) : nullptr;
}

TFindHit FindInTrees(TETree& first, TETree* second, bool firstIsUpper, bool forward, bool includeFocused,
                     const TNodeMatch& matches)
{
    auto step = [forward](const TETree& tree, const TENode* node) {
        return forward ? tree.GetNextNode(node) : tree.GetPreviousNode(node);
    };
    auto top = [forward](const TETree& tree) {
        return forward ? tree.GetFirstNode() : tree.GetPreviousNode(nullptr);
    };
    auto hit = [](TETree& tree, TENode* node, bool wrapped) {
        tree.ActivateNode(node);
        return TFindHit{&tree, node, wrapped};
    };
    TENode* const start = first.GetFocusedNode();
    TENode* node = !start ? top(first) : includeFocused ? start : step(first, start);
    for (; node; node = step(first, node)) {
        if (matches(first, node)) {
            return hit(first, node, false);
        }
    }
    if (second && second != &first) {
        // Down from the lower tree, or up from the upper one, is round the ends.
        const bool wrapped = forward != firstIsUpper;
        for (node = top(*second); node; node = step(*second, node)) {
            if (matches(*second, node)) {
                return hit(*second, node, wrapped);
            }
        }
    }
    // Round to the start: the focused node itself is the last one tried, so
    // a single match is found again from anywhere.
    if (start) {
        for (node = top(first); node; node = step(first, node)) {
            if (matches(first, node)) {
                return hit(first, node, true);
            }
            if (node == start) {
                break;
            }
        }
    }
    return {};
}

} // namespace talvoren
