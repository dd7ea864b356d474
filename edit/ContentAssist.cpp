#include "edit/ContentAssist.h"

#include "platform/Platform.h"

#include <algorithm>
#include <unordered_set>

namespace talvoren {

TCompletionStart CompletionStart(const std::u16string& text, int caret, bool expandable, bool forced)
{
    if (!expandable) {
        return {true, TContentAssistType::Path, 1};
    }
    int count = 0;
    int last = 0;
    const int end = std::min<int>(caret, static_cast<int>(text.size()));
    for (int i = 0; i < end; ++i) {
        if (text[i] == u'%') {
            ++count;
            last = i + 1;
        }
    }
    if (count == 0) {
        return {true, TContentAssistType::Path, 1};
    }
    if (count % 2 == 1) {
        return {true, TContentAssistType::Variable, last};
    }
    if (forced) {
        return {true, TContentAssistType::Variable, caret + 1};
    }
    return {};
}

std::vector<TPathEntry> ListPathEntries(platform::IFileSystem& fileSystem, platform::ILocale& locale,
                                        std::u16string typed)
{
    // An empty removable drive must not ask the user to insert a disk.
    auto guard = fileSystem.suppressCriticalErrors();
    std::replace(typed.begin(), typed.end(), u'/', u'\\');
    const size_t cut = typed.find_last_of(u"\\:");
    const std::u16string folder = cut == std::u16string::npos ? std::u16string() : typed.substr(0, cut + 1);

    std::vector<TPathEntry> rows;
    for (const platform::FindEntry& entry : fileSystem.find(typed + u"*")) {
        if ((entry.attributes & platform::attr::kSystem) || entry.name == u"." || entry.name == u"..") {
            continue;
        }
        rows.push_back({folder + entry.name, (entry.attributes & platform::attr::kDirectory) != 0});
    }
    // Fold once per row, not once per comparison: a large folder is listed on
    // every keystroke.
    std::vector<std::pair<std::u16string, size_t>> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        keys.emplace_back(locale.foldCase(rows[i].text), i);
    }
    std::sort(keys.begin(), keys.end());
    std::vector<TPathEntry> sorted;
    sorted.reserve(rows.size());
    for (const auto& key : keys) {
        sorted.push_back(std::move(rows[key.second]));
    }
    return sorted;
}

void SortEntries(platform::ILocale& locale, std::vector<std::u16string>& rows)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const std::u16string& a, const std::u16string& b) { return locale.compareNoCase(a, b) < 0; });
}

std::vector<std::u16string> MergeVariableEntries(platform::ILocale& locale, std::vector<std::u16string> own,
                                                 const std::vector<std::u16string>& resolved)
{
    std::unordered_set<std::u16string> seen;
    for (const std::u16string& row : own) {
        seen.insert(locale.foldCase(row));
    }
    for (const std::u16string& row : resolved) {
        if (seen.insert(locale.foldCase(row)).second) {
            own.push_back(row);
        }
    }
    SortEntries(locale, own);
    return own;
}

} // namespace talvoren
