#pragma once

// The exclusion list: variables whose values are never split at ';'
// ("Do not split") or never checked as paths ("Do not validate"). One list
// is owned by the options; both environment trees borrow it and rebuild
// their variables through its change handlers.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace talvoren {

// The switches of one variable. The stored switches are the positive ones;
// the dialogs show their negations.
class TExclusion {
public:
    TExclusion(bool split, bool check);
    TExclusion(const TExclusion& src) = default;
    TExclusion& operator=(const TExclusion& src) = default;

    bool isSplit() const { return fSplit; }
    void setSplit(bool value) { fSplit = value; }
    bool isCheck() const { return fCheck; }
    void setCheck(bool value) { fCheck = value; }

private:
    bool fSplit;
    bool fCheck;
};

// Bob Jenkins' lookup3 hashlittle over `length` bytes.
uint32_t hashlittle(const void* key, size_t length, uint32_t initval);

// Key comparison of the list: ASCII letters a-z folded to A-Z, every other
// code unit compared as it is.
class TExclusionsComparer {
public:
    static bool Equals(std::u16string_view left, std::u16string_view right);
    // hashlittle over the ASCII-upper-cased name's UTF-16LE bytes, initval 0.
    static uint32_t GetHashCode(std::u16string_view value);

    // Adaptors for the standard unordered containers.
    struct Hash {
        size_t operator()(const std::u16string& value) const { return GetHashCode(value); }
    };
    struct Equal {
        bool operator()(const std::u16string& left, const std::u16string& right) const { return Equals(left, right); }
    };
};

class TExclusions {
public:
    using ChangeHandler = std::function<void()>;

    TExclusions();
    // Clears the list, which notifies once per entry, as Clear does.
    ~TExclusions();

    TExclusions(const TExclusions&) = delete;
    TExclusions& operator=(const TExclusions&) = delete;

    // Adds an entry and notifies. A name already present (under the
    // comparer) raises TError and changes nothing.
    void Add(const std::u16string& name, bool split, bool check);
    // A copy of every entry of `src`, one Add (and one notification) each.
    void AddAll(const TExclusions& src);
    // Removes the entry and notifies; an absent name is ignored silently.
    void Remove(const std::u16string& name);
    // Empties the list, then notifies once per removed entry.
    void Clear();

    bool ContainsKey(const std::u16string& name) const;
    // Both true for a name that has no entry.
    bool isSplit(const std::u16string& name) const;
    bool isCheck(const std::u16string& name) const;

    size_t Count() const { return fDic.size(); }
    // The name at `index` of the names sorted with ASCII letters folded, a
    // prefix first. An index outside 0..Count-1 raises TError.
    std::u16string GetKey(size_t index) const;
    const TExclusion& GetValue(size_t index) const;

    // Appends a handler, called after every change in registration order.
    // Handlers are never removed; one registered with an `owner` is skipped
    // once that owner is gone, so a borrower may die before the list.
    void AddOnChange(ChangeHandler handler, std::weak_ptr<void> owner = {});

private:
    struct THandler {
        ChangeHandler call;
        std::weak_ptr<void> owner;
        bool owned;
    };

    void Notify();
    const std::vector<const std::u16string*>& SortedKeys() const;

    std::unordered_map<std::u16string, TExclusion, TExclusionsComparer::Hash, TExclusionsComparer::Equal> fDic;
    std::vector<THandler> fHandlers;
    mutable std::vector<const std::u16string*> fSorted; // cache of the index order
    mutable bool fSortedValid = false;
};

} // namespace talvoren

namespace talvoren {

// The name the exclusion dialog checks and stores for its typed text: without
// surrounding blanks, the Unicode spaces an input method leaves included.
std::u16string ExclusionName(std::u16string_view typed);

// Why the exclusion dialog refuses its input (an English message id), or
// null when it may be stored. `initialName` is the name the dialog opened
// on; it compares case-sensitively, the list case-insensitively.
const char* ValidateExclusion(const TExclusions& list, const std::u16string& initialName, const std::u16string& text,
                              bool notSplit, bool notCheck);

} // namespace talvoren
