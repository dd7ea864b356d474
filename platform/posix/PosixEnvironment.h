#pragma once

// The environment block of the emulated process: variables whose names
// compare without regard to case, and ExpandEnvironmentStrings over them.

#include "platform/Platform.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace talvoren::platform::posix {

class TPosixEnvironment : public IProcessEnvironment {
public:
    std::u16string variable(const std::u16string& name) override;
    std::u16string expand(const std::u16string& text) override;

    // Sets or replaces a variable; a replaced one keeps its first spelling.
    void set(const std::u16string& name, const std::u16string& value);
    std::optional<std::u16string> find(const std::u16string& name) const;
    const std::vector<std::pair<std::u16string, std::u16string>>& variables() const { return fVariables; }

private:
    std::vector<std::pair<std::u16string, std::u16string>> fVariables;
};

using TVariableLookup = std::function<std::optional<std::u16string>(const std::u16string&)>;

// ExpandEnvironmentStrings: each %NAME% with a known name is replaced by
// its value; an unknown one stays as written, and its closing % may open
// the next reference.
std::u16string expandReferences(const std::u16string& text, const TVariableLookup& lookup);

} // namespace talvoren::platform::posix
