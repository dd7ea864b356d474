#pragma once

// What a save of one tree will write, worked out before anything is written:
// per variable whether it is added, deleted, retyped or changed, for a split
// variable which elements came, went or moved, and whether another program
// changed the stored value since the tree last met the registry. The window
// shows it and lets the person answer for each such value.

#include "model/ETree.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvoren {

enum class TReviewKind { Added, Deleted, Changed };
// For a value another program changed: not yet answered, write the tree's
// version, or keep what is stored.
enum class TReviewAnswer { None, Write, Keep };

struct TReviewEntry {
    TReviewKind kind = TReviewKind::Changed;
    std::u16string name; // the tree's spelling; the stored one for a delete
    std::u16string oldName; // the stored spelling (differs in case for a rename)
    uint8_t oldType = 0; // kDataType*, 0 when added
    uint8_t newType = 0; // 0 when deleted
    std::u16string oldValue;
    std::u16string newValue;
    bool retyped = false;
    bool valueChanged = false;
    bool renamed = false;
    // Element level, for a variable held split (old order for `moved`).
    bool split = false;
    std::vector<std::u16string> elementsAdded;
    std::vector<std::u16string> elementsRemoved;
    std::vector<std::u16string> elementsMoved;
    // Another program changed the value since the load.
    bool conflict = false;
    bool storedExists = false; // false: the other program deleted it
    bool storedIsText = true;
    std::u16string stored;
    TReviewAnswer answer = TReviewAnswer::None;
};

struct TSaveReview {
    std::vector<TReviewEntry> entries; // in the tree's order, deletes last

    size_t ConflictCount() const;
    size_t UnansweredCount() const;
    // The answer given here for a conflict the save meets, when it is the
    // one the review showed (same value stored and to be written); nothing
    // otherwise, so that a value changed again meanwhile is asked afresh.
    std::optional<TETree::TSaveAnswer> AnswerFor(const TETree::TSaveConflict& conflict) const;
};

// The review of what `tree`'s save would write now; empty for a tree that is
// not loaded. Reads the scope's current values; writes nothing.
TSaveReview ReviewSave(const TETree& tree);

// Elements of `after` not in `before`, those gone, and those in both whose
// order changed (each counted as often as it occurs).
void DiffElements(const std::vector<std::u16string>& before, const std::vector<std::u16string>& after,
                  std::vector<std::u16string>& added, std::vector<std::u16string>& removed,
                  std::vector<std::u16string>& moved);

} // namespace talvoren
