#pragma once

// The editing half of the environment tree: the operations behind the
// window's edit commands. They act on the tree through its public interface
// and push one undo step (through the tree's push interface) before they
// change any node, so that one Undo takes back exactly one operation.
//
// Each acts on the focused node, or (Delete, Cut, the moves and the
// clean-up) on the selected nodes, and checks its own precondition (the
// matching Can...) again, doing nothing and pushing nothing when it does not
// hold, so a command whose enabled state is stale can do no harm. Whether
// the tree has the keyboard focus is the window's to know.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace talvoren {

class TENode;
class TETree;
struct TVariableRecord;

class TETreeEditing {
public:
    // Borrows the tree; cheap enough to make for one call.
    explicit TETreeEditing(TETree& tree)
        : fTree(tree)
    {
    }

    // An empty element as the first of the focused variable or right after
    // the focused element, opened in the in-place editor; no further push
    // when that edit commits.
    void UndoableAddEmptyElement();
    // An element holding `value` whole, at the same place, focused.
    void UndoableAddElement(const std::u16string& value);
    // Elements holding these texts, one after the other from that place, in
    // one step; the last is focused. Adding to a variable whose value is
    // empty gives the values alone: its one empty element takes the first.
    void UndoableAddElements(const std::vector<std::u16string>& values);
    // A variable with one empty element, opened in the in-place editor.
    void UndoableAddEmptyVariable(const std::u16string& name, uint8_t datatype, bool readOnly);
    void UndoableAddVariable(const std::u16string& name, const std::u16string& value, uint8_t datatype, bool readOnly);
    // Gives the variable of that name a new value; type and read-only mark stay.
    void UndoableReplaceVariable(const std::u16string& name, const std::u16string& value);
    // String becomes expandable string; any other type becomes string.
    void UndoableChangeType();
    // Removes duplicate and empty elements of every selected variable; with
    // `alsoInSystemPath`, also the user Path's elements that the system Path
    // holds (see below).
    void UndoableCleanupPaths(bool alsoInSystemPath = false);
    // The selected variables' elements that the system Path holds too, as
    // the last validation found them; a search reaches them there first.
    std::vector<std::u16string> ElementsAlsoInSystemPath() const;
    // Every selected element one row up (down), the selection kept.
    void UndoableMoveUp();
    void UndoableMoveDown();
    void UndoableLong2Short();
    void UndoableShort2Long();
    // Replaces references by what they expand to. An element whose
    // expansion fails is never written over: nothing changes, nothing is
    // pushed, and the message to show is returned (empty when done).
    std::u16string UndoableInline();
    // The focused element's text becomes `value` (a chosen file or folder).
    void SetElement(const std::u16string& value);
    // Deletes the selected nodes (SelectedNodes) and activates the next
    // visible sibling after them, else the one before them, else (for
    // elements) their variable.
    void DeleteSelectedNodes();
    // Paste, asking `overwrite` (name) before it replaces a variable of the
    // same name; a read-only variable is never replaced. A text is read by
    // ReadPastedText: elements at the focus, or a variable at a variable's
    // level. Returns the message to show (translated) when it refused.
    using TOverwriteQuestion = std::function<bool(const std::u16string& name)>;
    std::u16string PasteVariable(const TVariableRecord& record, const TOverwriteQuestion& overwrite);
    std::u16string PasteText(const std::u16string& text, const TOverwriteQuestion& overwrite);

    // Sets the text of the focused element, or of every element of the
    // focused variable, to what `proc` makes of it. Nothing is split.
    // `description` names the undo step.
    void UndoableRewriteElements(const std::function<std::u16string(const TENode*)>& proc,
                                 const std::u16string& description = {});

    // When the operations above may be called (the focused node decides;
    // the selection for the clean-up and the moves).
    bool CanAddEmptyElement() const;
    bool CanAddElement() const;
    // Whether Paste of a text can do something here; `variableText` tells
    // that ReadPastedText makes a variable of it at a variable's level.
    bool CanPasteText(bool variableText) const;
    bool CanChangeFocusedNode() const;
    bool CanCleanupPaths() const;
    bool CanMoveUp() const;
    bool CanMoveDown() const;
    bool CanSetElement() const;

    // The nodes that Delete, Cut, the moves and the clean-up act on: the
    // tree's selection, in tree order, or nothing when any of them may not
    // be changed (a command never does half of what it says).
    std::vector<TENode*> SelectedNodes() const;
    bool CanDeleteSelected() const { return !SelectedNodes().empty(); }
    // Delete without a question, as one undo step named "Cut"; the window
    // has put the nodes on the clipboard first.
    void CutSelectedNodes();
    // Several variables as one paste and one undo step. Nothing is pasted
    // when a record's name or value is refused or a read-only variable has
    // one of the names (the message says which); a "No" to `overwrite`
    // leaves that one as it is.
    std::u16string PasteVariables(const std::vector<TVariableRecord>& records, const TOverwriteQuestion& overwrite);
    // "Remove missing paths": the elements of the focused variable (a list)
    // that name a folder or file that does not exist, checked now as the
    // validation checks them. An element whose references do not expand
    // is not among them: what it would name is not known.
    struct TMissingElement {
        size_t row;
        std::u16string text;
    };
    std::vector<TMissingElement> MissingPathElements() const;
    // Removes, in one step, those of `listed` (what the user was shown) that
    // are still missing; nothing else. The variable is focused afterwards.
    // Returns how many went; nothing is pushed when none does.
    size_t UndoableRemoveMissingPaths(const std::vector<TMissingElement>& listed);
    bool CanRemoveMissingPaths() const;

private:
    void PushUndo(const std::u16string& description);
    void RemoveSelected(bool cut);
    // Inserts `text` where the add operations place a new element.
    TENode* InsertAtFocus(const std::u16string& text);
    void MoveFocused(int step);
    bool IsWritableElement(const TENode* node) const;

    TETree& fTree;
};

// How an undo step names what it changes: 'text' for one node (a variable
// by its name; a long text shortened), "3 elements of 'Path'" or
// "3 variables" for several.
std::u16string StepSubject(const TETree& tree, const std::vector<TENode*>& nodes);
// 'text', shortened like StepSubject's.
std::u16string QuotedStep(const std::u16string& text);

} // namespace talvoren
