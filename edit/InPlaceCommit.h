#pragma once

// What a committed in-place edit does to the tree: a variable node is
// renamed, an element node gets the typed text (split into several elements
// when its variable is split and the text holds ';'). The commit pushes an
// undo step unless the edit was opened by an add, which has pushed already.

#include <string>

namespace talvoren {

class TETree;
class TENode;

// Applies `text` to `node`. Returns the (translated) reason why the text was
// refused (a name VariableName.h refuses, a clash, a NUL or an element over
// the value limit), in which case nothing changed; empty when it was taken.
std::u16string CommitEditedText(TETree& tree, TENode* node, const std::u16string& text);

// Why a name typed for a new variable cannot be used (translated), or empty.
// The name is judged as it will be stored (NormalizeVariableName).
std::u16string NewVariableNameError(const TETree& tree, const std::u16string& typed);

} // namespace talvoren
