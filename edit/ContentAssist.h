#pragma once

// The listing side of the completion popup of the in-place editor: which
// mode the popup opens in for the text and caret, the folder listing of a
// typed path, and the variable references of both trees. The window's popup
// shows what these give.

#include <cstdint>
#include <string>
#include <vector>

namespace talvoren {

namespace platform {
class IFileSystem;
class ILocale;
} // namespace platform

// The popup's mode.
enum class TContentAssistType { Path, Variable, Hints };

// What a completion update does: open the popup in `mode` with the completed
// text starting at the 1-based `position`, or hide it.
struct TCompletionStart {
    bool open = false;
    TContentAssistType mode = TContentAssistType::Path;
    int position = 1;
};

// `caret` counts the characters before the caret. Only an expandable
// variable completes references: an odd count of '%' before the caret means
// the caret is inside one; an even, non-zero count hides the popup unless the
// update is forced (Ctrl+Space), which starts a new reference at the caret.
TCompletionStart CompletionStart(const std::u16string& text, int caret, bool expandable, bool forced);

// One row of a path listing.
struct TPathEntry {
    std::u16string text; // the typed folder part followed by the entry's name
    bool folder = false;
};

// The entries that begin with `typed` (the text from the completion start to
// the caret), files and folders, hidden ones included, system ones left out;
// '/' read as '\'; without "." and ".."; sorted case-insensitively.
std::vector<TPathEntry> ListPathEntries(platform::IFileSystem& fileSystem, platform::ILocale& locale,
                                        std::u16string typed);

// The references of the edited tree, then those of the resolving tree that
// the first list does not hold yet (case-insensitively), sorted.
std::vector<std::u16string> MergeVariableEntries(platform::ILocale& locale, std::vector<std::u16string> own,
                                                 const std::vector<std::u16string>& resolved);

// Sorts rows case-insensitively under the user's locale.
void SortEntries(platform::ILocale& locale, std::vector<std::u16string>& rows);

} // namespace talvoren
