#pragma once

// Dragging nodes within and between the two environment trees: whether a
// drag may start, whether the node may land where the pointer is, and the
// move itself, one undo step. The window only maps mouse positions to the
// node under the pointer and its part of it.

#include <functional>
#include <string>
#include <vector>

namespace talvoren {

class TETree;
class TENode;

// Where the pointer is relative to the node under it.
enum class TDropPosition { Above, On, Below };

// A writable node of an editable tree.
bool CanStartDrag(const TETree& tree, const TENode* node);

// `target` is the node under the pointer, nullptr over empty space. A
// variable lands anywhere in the other tree; an element on any node whose
// variable is writable and split, in either tree.
bool CanDrop(const TETree& source, const TENode* dragged, const TETree& receiver, const TENode* target);

// Asked when a dropped variable's name exists in the receiving tree; false
// ("No") ends the drop with nothing changed.
using TOverwriteQuestion = std::function<bool(const std::u16string& name)>;

// Moves `dragged` (already accepted by CanDrop) from `source` into
// `receiver`, pushing one undo step first, and focuses and selects the moved
// node in `receiver`, which it returns (nullptr when nothing moved). A
// variable never replaces a read-only one of its name: nothing moves and
// `refusal` gets the message that says why. An element dropped into a
// variable whose value is empty takes the place of its empty element.
TENode* DropNode(TETree& source, TENode* dragged, TETree& receiver, TENode* target, TDropPosition position,
                 const TOverwriteQuestion& overwrite, std::u16string* refusal = nullptr);

// Several nodes of one selection group (see TETree::SetSelection): CanDrop
// holds for each of them, and the target is none of them.
bool CanDropAll(const TETree& source, const std::vector<TENode*>& dragged, const TETree& receiver,
                const TENode* target);
// Moves them as one undo step, in their order, the elements one after the
// other from where the first lands; the moved nodes end up selected, the
// first focused (and returned). A read-only variable of a dropped name
// refuses the whole drop; a "No" to the overwrite question leaves that
// variable where it is.
TENode* DropNodes(TETree& source, const std::vector<TENode*>& dragged, TETree& receiver, TENode* target,
                  TDropPosition position, const TOverwriteQuestion& overwrite, std::u16string* refusal = nullptr);

} // namespace talvoren
