#pragma once

#include "model/NodeInfo.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace talvoren {

class TETree;

// One node: a variable (level 0, TVarData) or a value element (level 1,
// TElemData). Owned by its tree; the pointer stays valid until the node is
// removed or the tree's content is replaced (load, undo, reset).
class TENode {
public:
    TENode(const TENode&) = delete;
    TENode& operator=(const TENode&) = delete;
    ~TENode();

    bool IsVariable() const { return fParent != nullptr && fParent->fData == nullptr; }
    int Level() const { return IsVariable() ? 0 : 1; }
    // The variable of an element; nullptr for a variable.
    TENode* Parent() const { return IsVariable() ? nullptr : fParent; }
    // Index among its siblings (variables: among the top-level nodes).
    size_t Row() const { return fRow; }
    size_t ChildCount() const { return fChildren.size(); }
    TENode* Child(size_t row) const { return fChildren[row].get(); }
    // A variable's value length: its elements joined by ';'.
    size_t ValueLength() const;

    const TNodeData& Data() const { return *fData; }
    // The node data of a variable / an element; nullptr for the other level.
    const TVarData* VarData() const;
    const TElemData* ElemData() const;

    // A read-only variable hidden by ShowReadOnly(false). Elements are never
    // hidden themselves; they follow their variable.
    bool IsHidden() const { return fHidden; }
    // Expanded state of a variable, kept here so that re-splitting and undo
    // can restore it; the view mirrors it.
    bool IsExpanded() const { return fExpanded; }
    // An element of the user's Path that names a folder of the system's
    // Path, which a search reaches first; set by Verify.
    bool IsInSystemPath() const { return fInSystemPath; }
    // A reference in the node's own text that no process will see expanded:
    // in a system value, to a variable defined only after the system scope;
    // in a text string, to any variable. Set by Verify.
    bool HasLiteralReference() const { return fLiteralReference; }

private:
    friend class TETree;
    TENode(TENode* parent, std::unique_ptr<TNodeData> data);

    TENode* fParent;
    size_t fRow = 0;
    std::vector<std::unique_ptr<TENode>> fChildren;
    std::unique_ptr<TNodeData> fData; // nullptr only for the tree's invisible root
    bool fHidden = false;
    bool fExpanded = false;
    bool fInSystemPath = false;
    bool fLiteralReference = false;
};

} // namespace talvoren
