#include "platform/posix/PosixEnvironment.h"

#include "platform/posix/CaseFold.h"

namespace talvoren::platform::posix {

std::u16string expandReferences(const std::u16string& text, const TVariableLookup& lookup)
{
    std::u16string out;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] != u'%') {
            const size_t next = text.find(u'%', pos);
            const size_t end = next == std::u16string::npos ? text.size() : next;
            out.append(text, pos, end - pos);
            pos = end;
            continue;
        }
        const size_t close = text.find(u'%', pos + 1);
        if (close == std::u16string::npos) {
            out.append(text, pos, std::u16string::npos);
            break;
        }
        const std::u16string name = text.substr(pos + 1, close - pos - 1);
        const auto value = name.empty() ? std::nullopt : lookup(name);
        if (value) {
            out += *value;
            pos = close + 1;
        } else {
            out.append(text, pos, close - pos);
            pos = close;
        }
    }
    return out;
}

std::optional<std::u16string> TPosixEnvironment::find(const std::u16string& name) const
{
    const std::u16string folded = foldUpper(name);
    for (const auto& [key, value] : fVariables) {
        if (foldUpper(key) == folded) {
            return value;
        }
    }
    return std::nullopt;
}

std::u16string TPosixEnvironment::variable(const std::u16string& name)
{
    return find(name).value_or(std::u16string());
}

std::u16string TPosixEnvironment::expand(const std::u16string& text)
{
    return expandReferences(text, [this](const std::u16string& name) { return find(name); });
}

void TPosixEnvironment::set(const std::u16string& name, const std::u16string& value)
{
    const std::u16string folded = foldUpper(name);
    for (auto& entry : fVariables) {
        if (foldUpper(entry.first) == folded) {
            entry.second = value;
            return;
        }
    }
    fVariables.emplace_back(name, value);
}

} // namespace talvoren::platform::posix
