#include "model/Translation.h"

#include "platform/Utf.h"

namespace talvoren {

namespace {
Translator gTranslator = nullptr;
}

void setTranslator(Translator translator)
{
    gTranslator = translator;
}

std::u16string tr(const char* messageId)
{
    if (gTranslator) {
        return gTranslator(messageId);
    }
    return platform::fromUtf8(messageId);
}

std::u16string formatText(const std::u16string& pattern, std::initializer_list<std::u16string> args)
{
    std::u16string out;
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u's' && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::u16string trFormat(const char* messageId, const std::u16string& arg1)
{
    return formatText(tr(messageId), {arg1});
}

std::u16string trFormat(const char* messageId, const std::u16string& arg1, const std::u16string& arg2)
{
    return formatText(tr(messageId), {arg1, arg2});
}

} // namespace talvoren
