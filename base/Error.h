#pragma once

// The exception that stops an operation. It carries the (already translated)
// message that the caller shows or turns into an exit code.

#include <stdexcept>
#include <string>

namespace talvoren {

class TError : public std::runtime_error {
public:
    explicit TError(std::u16string message);
    const std::u16string& message() const { return fMessage; }

private:
    std::u16string fMessage;
};

} // namespace talvoren
