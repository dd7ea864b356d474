#include "edit/UndoStack.h"

#include "model/ETree.h"

namespace talvoren {

struct TUndoStack::TEntry {
    TETree* tree; // not owned
    uint32_t focusPosition; // pre-order position of the tree's focused node
    std::vector<uint8_t> snapshot; // the tree's whole node stream
    std::u16string description; // of the step this entry belongs to
};

TUndoStack::TUndoStack() = default;

TUndoStack::~TUndoStack()
{
    Clear();
}

void TUndoStack::Clear()
{
    fStack.clear();
    fPos = 0;
    fSavedPos = 0;
}

std::unique_ptr<TUndoStack::TEntry> TUndoStack::Capture(TETree& tree) const
{
    return std::make_unique<TEntry>(TEntry{&tree, tree.GetFocusPosition(), tree.SaveToStream(), {}});
}

void TUndoStack::CaptureOnto(TETree& tree, const std::u16string& description)
{
    auto entry = Capture(tree);
    entry->description = description;
    // The redo side goes; if the saved state lay on it, no position can bring
    // it back any more.
    if (static_cast<size_t>(fPos) < fStack.size()) {
        fStack.erase(fStack.begin() + fPos, fStack.end());
        if (fSavedPos > fPos) {
            fSavedPos = -1;
        }
    }
    fStack.push_back(std::move(entry));
    ++fPos;
}

void TUndoStack::Push(TETree& tree1, TETree& tree2, const std::u16string& description)
{
    CaptureOnto(tree1, description);
    CaptureOnto(tree2, description);
}

std::u16string TUndoStack::UndoDescription() const
{
    return fPos > 0 ? fStack[static_cast<size_t>(fPos - 1)]->description : std::u16string();
}

std::u16string TUndoStack::RedoDescription() const
{
    return IsRedoable() ? fStack[static_cast<size_t>(fPos)]->description : std::u16string();
}

void TUndoStack::Exchange(size_t index)
{
    TEntry& entry = *fStack[index];
    TETree& tree = *entry.tree;
    auto current = Capture(tree);
    current->description = entry.description; // the name stays with the step
    tree.LoadFromStream(entry.snapshot);
    tree.ActivateNodeAtPosition(entry.focusPosition);
    fStack[index] = std::move(current);
}

void TUndoStack::StepBack()
{
    if (fPos == 0) {
        return;
    }
    Exchange(static_cast<size_t>(fPos - 1));
    --fPos;
}

void TUndoStack::StepForward()
{
    if (static_cast<size_t>(fPos) == fStack.size()) {
        return;
    }
    Exchange(static_cast<size_t>(fPos));
    ++fPos;
}

void TUndoStack::Undo()
{
    StepBack();
    StepBack();
}

void TUndoStack::Redo()
{
    StepForward();
}

void TUndoStack::MarkSaved()
{
    fSavedPos = fPos;
}

} // namespace talvoren
