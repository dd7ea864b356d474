#pragma once

// Snapshot undo across both environment trees. Before an edit, Push captures
// the whole node content of the system tree and then of the user tree (two
// entries); undo and redo exchange a captured content with the current one,
// so they never need to know what the edit was.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace talvoren {

class TETree;

class TUndoStack {
public:
    TUndoStack();
    ~TUndoStack();

    TUndoStack(const TUndoStack&) = delete;
    TUndoStack& operator=(const TUndoStack&) = delete;

    // Drops the whole history; the saved position becomes 0 (the trees were
    // just loaded).
    void Clear();

    // Captures tree1, then tree2; the redo side is discarded first.
    // `description` names the step (see UndoDescription).
    void Push(TETree& tree1, TETree& tree2, const std::u16string& description = {});

    // Steps back twice (one edit of both trees); nothing at position 0.
    void Undo();
    // Steps forward once; the window's Redo command calls it twice.
    void Redo();

    int32_t GetPos() const { return fPos; }
    size_t Count() const { return fStack.size(); }
    bool IsUndoable() const { return fPos > 0; }
    bool IsRedoable() const { return static_cast<size_t>(fPos) < fStack.size(); }
    // What the step that Undo (Redo) would take back (re-apply) was, as its
    // Push named it; empty when there is none or it has no name.
    std::u16string UndoDescription() const;
    std::u16string RedoDescription() const;

    // Records the current position as the one that matches the registry
    // (after a save). A push that discards the entries leading back to it
    // makes it unreachable: the trees then stay modified until the next
    // MarkSaved or Clear.
    void MarkSaved();
    // The saved position, or -1 once it can no longer be reached.
    int32_t GetSavedPos() const { return fSavedPos; }
    // Whether the trees differ from what was last loaded or saved.
    bool IsModified() const { return fPos != fSavedPos; }

private:
    struct TEntry;

    std::unique_ptr<TEntry> Capture(TETree& tree) const;
    void CaptureOnto(TETree& tree, const std::u16string& description);
    void Exchange(size_t index);
    void StepBack();
    void StepForward();

    std::vector<std::unique_ptr<TEntry>> fStack;
    int32_t fPos = 0;
    int32_t fSavedPos = 0;
};

} // namespace talvoren
