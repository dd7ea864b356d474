#pragma once

// The one rule for a variable's name, shared by the new-variable dialog, the
// in-place rename and the command line. Windows reads an environment block
// entry up to its first '=' as the name, so a name with '=' becomes another
// variable; control characters and blanks-only names cannot be typed back.

#include <cstddef>
#include <string>
#include <string_view>

namespace talvoren {

// The registry's limit for a value name, in UTF-16 code units.
constexpr size_t kMaxVariableNameLength = 16383;

// The name as it is stored: surrounding blanks removed.
std::u16string NormalizeVariableName(std::u16string_view typed);

// Why `name` (already normalized) cannot name a variable, translated; empty
// when it can.
std::u16string VariableNameError(std::u16string_view name);

} // namespace talvoren
