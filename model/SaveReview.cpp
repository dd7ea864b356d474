#include "model/SaveReview.h"

#include "base/EnvStore.h"
#include "model/NodeInfo.h"

#include <algorithm>
#include <unordered_map>

namespace talvoren {

namespace regtype = platform::regtype;

namespace {

uint8_t dataTypeOf(uint32_t regType)
{
    return regType == regtype::kExpandSz ? kDataTypeExpandString : kDataTypeString;
}

// Above this many cells the order of a changed middle is not searched: its
// elements are reported as added and removed, or moved where they recur.
constexpr size_t kMaxOrderCells = 1'000'000;

} // namespace

void DiffElements(const std::vector<std::u16string>& before, const std::vector<std::u16string>& after,
                  std::vector<std::u16string>& added, std::vector<std::u16string>& removed,
                  std::vector<std::u16string>& moved)
{
    // Most edits touch a few places: the common ends stay out of the search.
    size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head]) {
        ++head;
    }
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
           && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
        ++tail;
    }
    const size_t n = before.size() - head - tail;
    const size_t m = after.size() - head - tail;
    std::vector<bool> keptBefore(n, false);
    std::vector<bool> keptAfter(m, false);
    // The longest run kept in order stays in place; the rest of what both
    // hold has moved.
    if (n > 0 && m > 0 && n * m <= kMaxOrderCells) {
        std::vector<uint32_t> table((n + 1) * (m + 1), 0);
        auto at = [&](size_t i, size_t j) -> uint32_t& {
            return table[i * (m + 1) + j];
        };
        for (size_t i = n; i-- > 0;) {
            for (size_t j = m; j-- > 0;) {
                at(i, j)
                    = before[head + i] == after[head + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
            }
        }
        for (size_t i = 0, j = 0; i < n && j < m;) {
            if (before[head + i] == after[head + j]) {
                keptBefore[i++] = true;
                keptAfter[j++] = true;
            } else if (at(i + 1, j) >= at(i, j + 1)) {
                ++i;
            } else {
                ++j;
            }
        }
    }
    std::unordered_map<std::u16string, size_t> unplaced;
    for (size_t j = 0; j < m; ++j) {
        if (!keptAfter[j]) {
            ++unplaced[after[head + j]];
        }
    }
    for (size_t i = 0; i < n; ++i) {
        if (keptBefore[i]) {
            continue;
        }
        const std::u16string& element = before[head + i];
        auto found = unplaced.find(element);
        if (found != unplaced.end() && found->second > 0) {
            --found->second;
            moved.push_back(element);
        } else {
            removed.push_back(element);
        }
    }
    for (size_t j = 0; j < m; ++j) {
        if (keptAfter[j]) {
            continue;
        }
        auto found = unplaced.find(after[head + j]);
        if (found->second > 0) { // more of this text than moved: new
            --found->second;
            added.push_back(after[head + j]);
        }
    }
}

size_t TSaveReview::ConflictCount() const
{
    return static_cast<size_t>(std::count_if(entries.begin(), entries.end(), [](const auto& e) { return e.conflict; }));
}

size_t TSaveReview::UnansweredCount() const
{
    return static_cast<size_t>(std::count_if(
        entries.begin(), entries.end(), [](const auto& e) { return e.conflict && e.answer == TReviewAnswer::None; }));
}

std::optional<TETree::TSaveAnswer> TSaveReview::AnswerFor(const TETree::TSaveConflict& conflict) const
{
    for (const TReviewEntry& entry : entries) {
        if (!entry.conflict || entry.name != conflict.name
            || (entry.kind == TReviewKind::Deleted) != conflict.deleting) {
            continue;
        }
        const bool same = entry.storedExists == conflict.storedExists && entry.storedIsText == conflict.storedIsText
            && entry.stored == conflict.stored && (conflict.deleting || entry.newValue == conflict.toWrite);
        if (!same || entry.answer == TReviewAnswer::None) {
            return std::nullopt;
        }
        return entry.answer == TReviewAnswer::Write ? TETree::TSaveAnswer::Overwrite : TETree::TSaveAnswer::Keep;
    }
    return std::nullopt;
}

TSaveReview ReviewSave(const TETree& tree)
{
    TSaveReview review;
    if (!tree.IsLoaded()) {
        return review;
    }
    auto& locale = tree.Platform().locale();
    std::unordered_map<std::u16string, TETree::TLoadedEntry> loaded;
    for (auto& value : tree.LoadedValues()) {
        loaded.emplace(locale.foldCase(value.name), std::move(value));
    }
    std::unique_ptr<platform::IRegistryKey> key;
    const Scope scope = tree.GetScope();
    tree.Platform().registry().openKey(scope.root, scope.key, platform::access::kQueryValue, false, key);
    // Marks the entry when the stored value is no longer the loaded one (or
    // exists where none was loaded); false for a delete of a value gone
    // already, which the save leaves alone.
    auto compareStored = [&](TReviewEntry& entry, const TETree::TLoadedEntry* before) {
        platform::RegValue now;
        const bool exists = key && key->queryValue(entry.name, now) == platform::error::kSuccess;
        entry.conflict = before ? (!exists || now.type != before->raw.type || now.data != before->raw.data) : exists;
        if (!entry.conflict) {
            return true;
        }
        if (entry.kind == TReviewKind::Deleted && !exists) {
            return false;
        }
        entry.storedExists = exists;
        entry.storedIsText = exists && (now.type == regtype::kSz || now.type == regtype::kExpandSz);
        if (entry.storedIsText) {
            entry.stored = DecodeRegString(now.data);
        }
        return true;
    };

    // As the save decides: of two writable variables with one name the later
    // one is written; read-only ones never are.
    std::unordered_map<std::u16string, const TENode*> held;
    for (const TENode* variable : tree.Variables()) {
        if (!tree.GetVariableReadOnly(variable)) {
            held[locale.foldCase(tree.GetVariableName(variable))] = variable;
        }
    }
    for (const TENode* variable : tree.Variables()) {
        if (tree.GetVariableReadOnly(variable)) {
            continue;
        }
        const std::u16string& name = tree.GetVariableName(variable);
        const std::u16string folded = locale.foldCase(name);
        if (held[folded] != variable) {
            continue;
        }
        TReviewEntry entry;
        entry.name = name;
        entry.newType = tree.GetVariableType(variable);
        entry.newValue = tree.GetVariableValue(variable);
        const auto found = loaded.find(folded);
        const TETree::TLoadedEntry* before = found == loaded.end() ? nullptr : &found->second;
        if (before) {
            entry.oldName = before->name;
            entry.oldType = dataTypeOf(before->raw.type);
            entry.oldValue = before->text;
            entry.renamed = before->name != name;
            entry.retyped = entry.oldType != entry.newType;
            entry.valueChanged = before->text != entry.newValue;
            if (!entry.renamed && !entry.retyped && !entry.valueChanged) {
                continue; // as loaded: the save leaves it alone
            }
            entry.kind = TReviewKind::Changed;
            entry.split = tree.SplitFor(name);
            if (entry.split && entry.valueChanged) {
                std::vector<std::u16string> now;
                now.reserve(variable->ChildCount());
                for (size_t i = 0; i < variable->ChildCount(); ++i) {
                    now.push_back(tree.GetElement(variable->Child(i)));
                }
                DiffElements(SplitValue(before->text), now, entry.elementsAdded, entry.elementsRemoved,
                             entry.elementsMoved);
            }
        } else {
            entry.kind = TReviewKind::Added;
        }
        if (compareStored(entry, before)) {
            review.entries.push_back(std::move(entry));
        }
    }
    std::vector<const TETree::TLoadedEntry*> gone;
    for (const auto& [folded, before] : loaded) {
        if (!held.count(folded)) {
            gone.push_back(&before);
        }
    }
    std::sort(gone.begin(), gone.end(),
              [&](const auto* a, const auto* b) { return locale.compareNoCase(a->name, b->name) < 0; });
    for (const TETree::TLoadedEntry* before : gone) {
        TReviewEntry entry;
        entry.kind = TReviewKind::Deleted;
        entry.name = before->name;
        entry.oldName = before->name;
        entry.oldType = dataTypeOf(before->raw.type);
        entry.oldValue = before->text;
        if (compareStored(entry, before)) {
            review.entries.push_back(std::move(entry));
        }
    }
    return review;
}

} // namespace talvoren
