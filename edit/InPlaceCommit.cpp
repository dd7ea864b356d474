#include "edit/InPlaceCommit.h"

#include "base/Translation.h"
#include "edit/ETreeEditing.h"
#include "model/ETree.h"
#include "model/NodeInfo.h"
#include "model/PushInterface.h"
#include "model/VariableName.h"
#include "settings/Exclusions.h"

namespace talvoren {

namespace {

bool isSplit(const TETree& tree, const std::u16string& name)
{
    const TExclusions* exclusions = tree.GetExclusions();
    return !exclusions || exclusions->isSplit(name);
}

void pushUnlessAdded(TETree& tree, TENode* node)
{
    // An add opened this edit and has pushed the step that covers it.
    if (tree.IsOnEdited() && tree.GetPushInterface()) {
        tree.GetPushInterface()->Push(trFormat("Edit %s", StepSubject(tree, {node})));
    }
}

std::u16string renameVariable(TETree& tree, TENode* variable, const std::u16string& typed)
{
    // The same rule and trimming as the new-variable dialog.
    const std::u16string name = NormalizeVariableName(typed);
    if (std::u16string error = VariableNameError(name); !error.empty()) {
        return error;
    }
    const std::u16string& old = tree.GetVariableName(variable);
    if (name == old) {
        return {};
    }
    // Another case of its own name is the same variable, not a clash.
    if (tree.Platform().locale().compareNoCase(name, old) != 0 && tree.IsExist(name)) {
        return trFormat("Variable '%s' already exists", name);
    }
    pushUnlessAdded(tree, variable);
    tree.SetVariableName(variable, name);
    // The exclusion list decides splitting by name.
    tree.ResplitVariable(variable);
    return {};
}

void setElement(TETree& tree, TENode* element, const std::u16string& text)
{
    pushUnlessAdded(tree, element);
    TENode* variable = tree.GetVariableNode(element);
    if (text.find(u';') == std::u16string::npos || !isSplit(tree, tree.GetVariableName(variable))) {
        tree.SetElementText(element, text);
        return;
    }
    const std::vector<std::u16string> pieces = SplitValue(text);
    tree.SetElementText(element, pieces.front());
    size_t row = element->Row();
    for (size_t i = 1; i < pieces.size(); ++i) {
        tree.InsertElement(variable, ++row, pieces[i]);
    }
}

} // namespace

std::u16string CommitEditedText(TETree& tree, TENode* node, const std::u16string& text)
{
    if (!node) {
        return {};
    }
    if (node->IsVariable()) {
        return renameVariable(tree, node, text);
    }
    // The editor refuses these while typing; a text that comes another way is refused here.
    if (std::u16string error = ValueTextError(text); !error.empty()) {
        return error;
    }
    setElement(tree, node, text);
    return {};
}

std::u16string NewVariableNameError(const TETree& tree, const std::u16string& typed)
{
    const std::u16string name = NormalizeVariableName(typed);
    if (std::u16string error = VariableNameError(name); !error.empty()) {
        return error;
    }
    if (tree.IsExist(name)) {
        return tr("This variable already exists");
    }
    return {};
}

} // namespace talvoren
