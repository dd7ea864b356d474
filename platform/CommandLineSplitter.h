#pragma once

// The Windows runtime's way of cutting a command line into arguments:
// characters 1..32 separate, a double-quoted stretch may hold blanks and
// loses its quotes, a pair of quotes at the start of an argument is skipped
// (standing alone it is an empty argument), and there is no escape
// character. The first argument (the program) is included in the result.

#include <string>
#include <vector>

namespace talvoren::platform {

std::vector<std::u16string> splitCommandLine(const std::u16string& commandLine);

} // namespace talvoren::platform
