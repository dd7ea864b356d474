// Find in one tree: names of variables and texts of elements, in walking
// order (every variable followed by its elements, expanded or not).

#include "model/ETree.h"

namespace talvoren {

bool TETree::FindText(const std::u16string& text, bool fromStart)
{
    platform::ILocale& locale = fPlatform.locale();
    const std::u16string wanted = locale.foldCase(text);
    TENode* node = fromStart || !fFocused ? GetFirstNode() : GetNextNode(fFocused);
    for (; node; node = GetNextNode(node)) {
        // A value is searched per element: text across a ';' is never found.
        const std::u16string& searched = node->IsVariable() ? GetVariableName(node) : GetElement(node);
        if (locale.foldCase(searched).find(wanted) != std::u16string::npos) {
            ActivateNode(node);
            return true;
        }
    }
    return false;
}

} // namespace talvoren
