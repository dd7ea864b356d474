#pragma once

// The command-line help as one text: the title, the documentation address and
// one line per option (option, tab, description), then, after an empty line,
// one line per rule the options do not show; joined by `newline`.

#include <string>

namespace talvoren {

std::u16string CommandHelpText(const std::u16string& newline);

} // namespace talvoren
