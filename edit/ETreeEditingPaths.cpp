// "Remove missing paths": which elements of a list name nothing that
// exists, and their removal as one step; see ETreeEditing.h.

#include "base/Translation.h"
#include "edit/ETreeEditing.h"
#include "model/ETree.h"
#include "model/EffectiveEnvironment.h"
#include "model/NodeInfo.h"
#include "model/PathChecks.h"
#include "platform/Platform.h"

namespace talvoren {

bool TETreeEditing::CanRemoveMissingPaths() const
{
    const TENode* focused = fTree.GetFocusedNode();
    return fTree.IsWritable(focused) && fTree.SplitFor(fTree.GetVariableName(focused));
}

std::vector<TETreeEditing::TMissingElement> TETreeEditing::MissingPathElements() const
{
    std::vector<TMissingElement> missing;
    if (!CanRemoveMissingPaths()) {
        return missing;
    }
    const TENode* variable = fTree.GetVariableNode(fTree.GetFocusedNode());
    platform::IFileSystem& fs = fTree.Platform().fileSystem();
    auto guard = fs.suppressCriticalErrors();
    for (size_t row = 0; row < variable->ChildCount(); ++row) {
        const TENode* element = variable->Child(row);
        // The validation's flag says that this variable's paths are checked
        // and one of this element's failed; the probe below is fresh.
        if (fTree.IsValid(element) || fTree.GetElementExFailure(element) != TExpansionFailure::None) {
            continue;
        }
        const std::u16string expanded = fTree.GetElementEx(element);
        if (!ReferencedNames(expanded).empty()) {
            continue; // a reference left as it is: an undefined variable or a string value
        }
        // An element that expands to a list goes only when all of it is missing.
        bool anyPath = false;
        bool allMissing = true;
        for (const auto& piece : SplitValue(expanded)) {
            if (IsPath(piece)) {
                anyPath = true;
                allMissing = allMissing && !FolderExists(piece, fs) && !PathExists(piece, fs);
            }
        }
        if (anyPath && allMissing) {
            missing.push_back({row, fTree.GetElement(element)});
        }
    }
    return missing;
}

size_t TETreeEditing::UndoableRemoveMissingPaths(const std::vector<TMissingElement>& listed)
{
    std::vector<bool> doomed;
    size_t count = 0;
    TENode* variable = CanRemoveMissingPaths() ? fTree.GetVariableNode(fTree.GetFocusedNode()) : nullptr;
    if (variable) {
        doomed.assign(variable->ChildCount(), false);
        for (const auto& now : MissingPathElements()) {
            for (const auto& shown : listed) {
                if (shown.row == now.row && shown.text == now.text && !doomed[now.row]) {
                    doomed[now.row] = true;
                    ++count;
                }
            }
        }
    }
    if (count == 0) {
        return 0;
    }
    fTree.FinishEditing();
    PushUndo(trFormat("Remove missing paths of %s", QuotedStep(fTree.GetVariableName(variable))));
    std::vector<std::u16string> kept;
    for (size_t row = 0; row < variable->ChildCount(); ++row) {
        if (!doomed[row]) {
            kept.push_back(fTree.GetElement(variable->Child(row)));
        }
    }
    fTree.SetVariableValue(variable, JoinValue(kept));
    fTree.ActivateNode(variable);
    return count;
}

} // namespace talvoren
