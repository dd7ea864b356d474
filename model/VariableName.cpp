#include "model/VariableName.h"

#include "base/Text.h"
#include "base/Translation.h"

namespace talvoren {

std::u16string NormalizeVariableName(std::u16string_view typed)
{
    return trimBlanks(typed);
}

std::u16string VariableNameError(std::u16string_view name)
{
    if (name.empty()) {
        return tr("Variable name can't be empty");
    }
    if (name.size() > kMaxVariableNameLength) {
        return tr("Variable name is longer than the registry allows (16383 characters)");
    }
    for (char16_t c : name) {
        if (c == u'=') {
            return tr("Variable name can't contain '='");
        }
        if (c < u' ' || c == u'\x7F') {
            return tr("Variable name can't contain control characters");
        }
    }
    return {};
}

} // namespace talvoren
