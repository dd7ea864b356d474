#pragma once

// The path checks of validation: which texts count as local paths, and
// whether such a path names something that exists. Network paths never get
// this far, so validation never waits on a network.

#include <string>

namespace talvoren {

namespace platform {
class IFileSystem;
}

// Whether a text is to be checked as a local path: after trimming blanks and
// control characters, "X:\...", "\..." (rooted on the current drive, not
// "\\") or exactly "X:".
bool IsPath(const std::u16string& text);

// The path's attributes can be read and mark a folder. Untrimmed.
bool FolderExists(const std::u16string& path, platform::IFileSystem& fs);

// A search for the path (any attributes, wildcards allowed) finds at least
// one entry. Untrimmed.
bool PathExists(const std::u16string& path, platform::IFileSystem& fs);

} // namespace talvoren
