#include "settings/Exclusions.h"

#include "base/Error.h"
#include "base/Text.h"
#include "base/Translation.h"
#include "platform/Utf.h"

#include <algorithm>

namespace talvoren {

TExclusion::TExclusion(bool split, bool check)
    : fSplit(split)
    , fCheck(check)
{
}

// ---------------------------------------------------------------------------
// lookup3 by Bob Jenkins (public domain), the byte-wise little-endian variant,
// so the result does not depend on the alignment of the key.

namespace {
constexpr uint32_t rot(uint32_t x, int k)
{
    return (x << k) | (x >> (32 - k));
}

void mix(uint32_t& a, uint32_t& b, uint32_t& c)
{
    a -= c;
    a ^= rot(c, 4);
    c += b;
    b -= a;
    b ^= rot(a, 6);
    a += c;
    c -= b;
    c ^= rot(b, 8);
    b += a;
    a -= c;
    a ^= rot(c, 16);
    c += b;
    b -= a;
    b ^= rot(a, 19);
    a += c;
    c -= b;
    c ^= rot(b, 4);
    b += a;
}

void finalMix(uint32_t& a, uint32_t& b, uint32_t& c)
{
    c ^= b;
    c -= rot(b, 14);
    a ^= c;
    a -= rot(c, 11);
    b ^= a;
    b -= rot(a, 25);
    c ^= b;
    c -= rot(b, 16);
    a ^= c;
    a -= rot(c, 4);
    b ^= a;
    b -= rot(a, 14);
    c ^= b;
    c -= rot(b, 24);
}

uint32_t word(const uint8_t* k, size_t count)
{
    uint32_t v = 0;
    for (size_t i = 0; i < count; ++i) {
        v |= static_cast<uint32_t>(k[i]) << (8 * i);
    }
    return v;
}
} // namespace

uint32_t hashlittle(const void* key, size_t length, uint32_t initval)
{
    const auto* k = static_cast<const uint8_t*>(key);
    uint32_t a = 0xdeadbeef + static_cast<uint32_t>(length) + initval;
    uint32_t b = a;
    uint32_t c = a;
    while (length > 12) {
        a += word(k, 4);
        b += word(k + 4, 4);
        c += word(k + 8, 4);
        mix(a, b, c);
        length -= 12;
        k += 12;
    }
    if (length == 0) {
        return c;
    }
    // The last block, zero-padded: the tail bytes land in a, b, c in order.
    a += word(k, std::min<size_t>(length, 4));
    if (length > 4) {
        b += word(k + 4, std::min<size_t>(length - 4, 4));
    }
    if (length > 8) {
        c += word(k + 8, length - 8);
    }
    finalMix(a, b, c);
    return c;
}

// ---------------------------------------------------------------------------

bool TExclusionsComparer::Equals(std::u16string_view left, std::u16string_view right)
{
    return equalsAsciiNoCase(left, right);
}

uint32_t TExclusionsComparer::GetHashCode(std::u16string_view value)
{
    const std::u16string upper = asciiUpper(value);
    std::vector<uint8_t> bytes;
    platform::appendUtf16Le(bytes, upper);
    return hashlittle(bytes.data(), bytes.size(), 0);
}

// ---------------------------------------------------------------------------

TExclusions::TExclusions() = default;

TExclusions::~TExclusions()
{
    Clear();
}

void TExclusions::Add(const std::u16string& name, bool split, bool check)
{
    if (!fDic.try_emplace(name, split, check).second) {
        throw TError(trFormat("Variable '%s' is already in the exclude list", name));
    }
    fSortedValid = false;
    Notify();
}

void TExclusions::AddAll(const TExclusions& src)
{
    // Copied first: adding a list to itself must not walk a changing map.
    std::vector<std::pair<std::u16string, TExclusion>> entries(src.fDic.begin(), src.fDic.end());
    for (const auto& [name, value] : entries) {
        Add(name, value.isSplit(), value.isCheck());
    }
}

void TExclusions::Remove(const std::u16string& name)
{
    if (fDic.erase(name) == 0) {
        return;
    }
    fSortedValid = false;
    Notify();
}

void TExclusions::Clear()
{
    const size_t removed = fDic.size();
    fDic.clear();
    fSortedValid = false;
    for (size_t i = 0; i < removed; ++i) {
        Notify();
    }
}

bool TExclusions::ContainsKey(const std::u16string& name) const
{
    return fDic.find(name) != fDic.end();
}

bool TExclusions::isSplit(const std::u16string& name) const
{
    auto it = fDic.find(name);
    return it == fDic.end() || it->second.isSplit();
}

bool TExclusions::isCheck(const std::u16string& name) const
{
    auto it = fDic.find(name);
    return it == fDic.end() || it->second.isCheck();
}

const std::vector<const std::u16string*>& TExclusions::SortedKeys() const
{
    if (!fSortedValid) {
        fSorted.clear();
        fSorted.reserve(fDic.size());
        for (const auto& entry : fDic) {
            fSorted.push_back(&entry.first);
        }
        std::sort(fSorted.begin(), fSorted.end(),
                  [](const std::u16string* a, const std::u16string* b) { return compareAsciiNoCase(*a, *b) < 0; });
        fSortedValid = true;
    }
    return fSorted;
}

std::u16string TExclusions::GetKey(size_t index) const
{
    const auto& keys = SortedKeys();
    if (index >= keys.size()) {
        throw TError(trFormat("List index out of bounds (%s)", u16(std::to_string(index))));
    }
    return *keys[index];
}

const TExclusion& TExclusions::GetValue(size_t index) const
{
    return fDic.at(GetKey(index));
}

void TExclusions::AddOnChange(ChangeHandler handler, std::weak_ptr<void> owner)
{
    // An empty weak pointer (no owner) differs from one whose owner is gone.
    const std::weak_ptr<void> none;
    const bool owned = owner.owner_before(none) || none.owner_before(owner);
    fHandlers.push_back({std::move(handler), std::move(owner), owned});
}

void TExclusions::Notify()
{
    // By index: a handler may register another handler while it runs.
    for (size_t i = 0; i < fHandlers.size(); ++i) {
        if (fHandlers[i].owned && fHandlers[i].owner.expired()) {
            continue;
        }
        auto call = fHandlers[i].call;
        call();
    }
}

} // namespace talvoren

namespace talvoren {

std::u16string ExclusionName(std::u16string_view typed)
{
    return trimBlanks(typed);
}

const char* ValidateExclusion(const TExclusions& list, const std::u16string& initialName, const std::u16string& text,
                              bool notSplit, bool notCheck)
{
    const std::u16string trimmed = ExclusionName(text);
    if (trimmed.empty()) {
        return trNoop("Variable name can't be empty");
    }
    if (trimmed != initialName && list.ContainsKey(trimmed)) {
        return trNoop("This variable already exists");
    }
    if (!notSplit && !notCheck) {
        return trNoop("At least one option must be selected");
    }
    return nullptr;
}

} // namespace talvoren
