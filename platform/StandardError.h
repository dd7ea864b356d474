#pragma once

// The process's standard error, where a command-line report says why it
// printed nothing; the console it was started from or the file or pipe it
// was redirected to, as for ISystem::writeOutput.

#include <string>

namespace talvoren::platform {

// Writes `text` (lines ended by '\n'); false when there is no standard
// error or the write fails.
bool writeStandardError(const std::u16string& text);

} // namespace talvoren::platform
