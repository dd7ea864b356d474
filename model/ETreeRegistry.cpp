// The environment tree's registry side: reading a scope, remembering what
// each variable held, watching the key, and saving only what the tree changed.

#include "base/Error.h"
#include "base/Translation.h"
#include "model/ETree.h"
#include "model/SaveHistory.h"
#include "platform/Utf.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace talvoren {

using platform::RegValue;
using platform::RootKey;
namespace error = platform::error;
namespace regtype = platform::regtype;

// One variable as the registry held it: the stored spelling, the type and
// the exact bytes (which the tree's text may not reproduce: an embedded
// null, no terminator, an odd byte count) and the text the tree was given.
struct TLoadedValue {
    std::u16string name;
    RegValue raw;
    std::u16string text;
};

// By ILocale::foldCase of the name.
struct TRegistryBaseline {
    std::unordered_map<std::u16string, TLoadedValue> values;
};

struct TScopeRead {
    RootKey root = RootKey::CurrentUser;
    std::u16string key;
    std::vector<std::unique_ptr<TENode>> variables;
    std::shared_ptr<TRegistryBaseline> baseline = std::make_shared<TRegistryBaseline>();
    std::unique_ptr<platform::IKeyWatch> watch;
};

// What the registry held for a name when the save was planned: nothing, or
// the raw value.
using TSeenValue = std::optional<RegValue>;

struct TSaveWrite {
    std::u16string name;
    uint32_t type;
    std::u16string value;
    std::u16string storedName; // the loaded spelling, when the tree changed only its case
    TSeenValue seen;
};

struct TSaveDelete {
    std::u16string name; // the stored spelling
    TSeenValue seen;
};

struct TSavePlan {
    std::unique_ptr<TEnvStore> store;
    std::vector<TSaveWrite> writes;
    std::vector<TSaveDelete> deletes;
    bool metOutsideChange = false;
};

namespace {

bool isStringType(uint32_t type)
{
    return type == regtype::kSz || type == regtype::kExpandSz;
}

[[noreturn]] void readFailed(RootKey root, const std::u16string& key, uint32_t code)
{
    throw TError(
        trFormat("Cannot read the registry key '%s': %s", ScopePath(Scope{root, key}), RegistryErrorReason(code)));
}

void writeValue(TEnvStore& store, const std::u16string& name, const std::u16string& value, uint32_t type)
{
    if (type == regtype::kSz) {
        store.WriteString(name, value);
    } else {
        store.WriteExpandString(name, value);
    }
}

// The values of a scope as they are now, read raw.
class TCurrentValues {
public:
    TCurrentValues(platform::IRegistry& registry, const Scope& scope, uint32_t access = platform::access::kQueryValue)
    {
        registry.openKey(scope.root, scope.key, access, false, fKey);
    }
    bool Get(const std::u16string& name, RegValue& out)
    {
        return fKey && fKey->queryValue(name, out) == error::kSuccess;
    }
    void Put(const std::u16string& name, const RegValue& value)
    {
        if (fKey) {
            fKey->setValue(name, value);
        }
    }

private:
    std::unique_ptr<platform::IRegistryKey> fKey;
};

// Whether the variable's elements joined with ';' are `text`, without
// building the joined value.
bool joinedEquals(const TENode* variable, const std::u16string& text)
{
    const size_t count = variable->ChildCount();
    if (count == 0) {
        return text.empty();
    }
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::u16string& element = variable->Child(i)->ElemData()->GetElement();
        if (i > 0) {
            if (at >= text.size() || text[at] != u';') {
                return false;
            }
            ++at;
        }
        if (text.compare(at, element.size(), element) != 0 || text.size() - at < element.size()) {
            return false;
        }
        at += element.size();
    }
    return at == text.size();
}
} // namespace

std::shared_ptr<TScopeRead> TETree::ReadRegistry(RootKey root, const std::u16string& key) const
{
    auto read = std::make_shared<TScopeRead>();
    read->root = root;
    read->key = key;
    platform::IRegistry& registry = fPlatform.registry();
    // Watching first: a change while the values are read is seen afterwards.
    registry.watchKey(root, key, read->watch);

    std::unique_ptr<platform::IRegistryKey> handle;
    uint32_t rc = error::kSuccess;
    for (uint32_t mask : {platform::access::kRead, platform::access::kReadNoNotify, platform::access::kQueryValue}) {
        rc = registry.openKey(root, key, mask, false, handle);
        // Only a missing right is worth another try; a locked or damaged
        // hive answers the same to every mask.
        if (rc != error::kAccessDenied) {
            break;
        }
    }
    if (rc == error::kFileNotFound || rc == error::kPathNotFound) {
        return read; // no key: an empty scope
    }
    if (rc != error::kSuccess || !handle) {
        readFailed(root, key, rc);
    }
    auto& locale = fPlatform.locale();
    for (const auto& name : handle->valueNames()) {
        RegValue value;
        rc = handle->queryValue(name, value);
        if (rc == error::kFileNotFound) {
            continue; // deleted since it was listed
        }
        if (rc != error::kSuccess) {
            readFailed(root, key, rc);
        }
        if (!isStringType(value.type)) {
            continue;
        }
        std::u16string text = DecodeRegString(value.data);
        const uint8_t datatype = value.type == regtype::kSz ? kDataTypeString : kDataTypeExpandString;
        auto variable = NewVariable(name, datatype, false);
        for (auto& element : ElementsFor(name, text)) {
            variable->fChildren.push_back(NewElement(variable.get(), std::move(element)));
        }
        read->variables.push_back(std::move(variable));
        read->baseline->values[locale.foldCase(name)] = TLoadedValue{name, std::move(value), std::move(text)};
    }
    return read;
}

void TETree::ApplyRead(std::shared_ptr<TScopeRead> read)
{
    fRoot = read->root;
    fKey = read->key;
    fBaseline = read->baseline;
    fWatch = std::move(read->watch);
    fLoaded = true;
    ReplaceContent(std::move(read->variables));
}

void TETree::LoadFromRegistry(RootKey root, const std::u16string& key)
{
    std::shared_ptr<TScopeRead> read;
    try {
        read = ReadRegistry(root, key);
    } catch (const TError&) {
        if (!fLoaded || fRoot != root || fKey != key) {
            fRoot = root;
            fKey = key;
            fLoaded = false;
            fBaseline.reset();
            fWatch.reset();
        }
        throw;
    }
    ApplyRead(std::move(read));
}

bool TETree::PollRegistryChange()
{
    return fWatch && fWatch->changed();
}

std::vector<TETree::TLoadedEntry> TETree::LoadedValues() const
{
    std::vector<TLoadedEntry> out;
    if (fLoaded && fBaseline) {
        out.reserve(fBaseline->values.size());
        for (const auto& [folded, value] : fBaseline->values) {
            out.push_back({value.name, value.raw, value.text});
        }
    }
    return out;
}

std::shared_ptr<TSavePlan> TETree::PrepareSave(const TSaveQuestion& ask)
{
    auto plan = std::make_shared<TSavePlan>();
    if (!fLoaded) {
        return plan;
    }
    plan->store = OpenScopeForWriting(fPlatform, GetScope());
    auto& locale = fPlatform.locale();
    auto& registry = fPlatform.registry();
    const Scope scope = GetScope();
    const auto& loaded = fBaseline->values;
    TCurrentValues current(registry, scope);

    // What another program did to a value since the load decides whether
    // the user is asked: false means the answer is to leave it alone.
    TSeenValue seen;
    auto mayChange = [&](TSaveConflict conflict, const TLoadedValue* before, bool& cancel) {
        RegValue now;
        const bool exists = current.Get(conflict.name, now);
        seen = exists ? TSeenValue(now) : std::nullopt;
        const bool outside
            = before ? (!exists || now.type != before->raw.type || now.data != before->raw.data) : exists;
        if (!outside) {
            return true;
        }
        plan->metOutsideChange = true;
        if (conflict.deleting && !exists) {
            return false; // already gone
        }
        conflict.storedExists = exists;
        conflict.storedIsText = exists && isStringType(now.type);
        if (conflict.storedIsText) {
            conflict.stored = DecodeRegString(now.data);
        }
        const TSaveAnswer answer = ask ? ask(conflict) : TSaveAnswer::Overwrite;
        cancel = answer == TSaveAnswer::Cancel;
        return answer == TSaveAnswer::Overwrite;
    };

    // The writable variables by folded name; of two with one name the later
    // one is written, as it would overwrite the earlier.
    std::unordered_map<std::u16string, const TENode*> held;
    for (const auto& variable : fRootNode.fChildren) {
        if (!variable->VarData()->GetReadOnly()) {
            held[locale.foldCase(variable->VarData()->GetVariableName())] = variable.get();
        }
    }
    bool cancel = false;
    for (const auto& variable : fRootNode.fChildren) {
        const TVarData& data = *variable->VarData();
        if (data.GetReadOnly()) {
            continue;
        }
        const std::u16string& name = data.GetVariableName();
        const std::u16string folded = locale.foldCase(name);
        if (held[folded] != variable.get()) {
            continue;
        }
        const uint32_t type = data.GetDataType() == kDataTypeString ? regtype::kSz : regtype::kExpandSz;
        const auto found = loaded.find(folded);
        const TLoadedValue* before = found == loaded.end() ? nullptr : &found->second;
        if (before && before->name == name && before->raw.type == type && joinedEquals(variable.get(), before->text)) {
            continue; // as loaded: not touched
        }
        std::u16string value = GetVariableValue(variable.get());
        TSaveConflict conflict;
        conflict.name = name;
        conflict.toWrite = value;
        conflict.dataType = data.GetDataType();
        if (!mayChange(std::move(conflict), before, cancel)) {
            if (cancel) {
                return nullptr;
            }
            continue;
        }
        plan->writes.push_back(
            {name, type, std::move(value), before && before->name != name ? before->name : std::u16string(), seen});
    }
    for (const auto& [folded, before] : loaded) {
        if (held.count(folded)) {
            continue;
        }
        TSaveConflict conflict;
        conflict.name = before.name;
        conflict.deleting = true;
        if (!mayChange(std::move(conflict), &before, cancel)) {
            if (cancel) {
                return nullptr;
            }
            continue;
        }
        plan->deletes.push_back({before.name, seen});
    }
    return plan;
}

void TETree::ExecuteSave(TSavePlan& plan, TSaveHistory* history)
{
    fSaveMetOutsideChange = plan.metOutsideChange;
    if (!plan.store) {
        return;
    }
    platform::IRegistry& registry = fPlatform.registry();
    const Scope scope = GetScope();
    // The check below and the writes are one step against other Talvoren
    // processes (the command line, another window), so that no change of
    // theirs lands in between unseen.
    std::unique_ptr<platform::IRegistryUpdate> update;
    if (const uint32_t rc = registry.beginUpdate(scope.root, scope.key, update); rc != error::kSuccess || !update) {
        ThrowWriteError(scope, rc);
    }
    // A value that changed since the questions were asked would be
    // overwritten without one: write nothing of this scope, and let the
    // next save ask.
    {
        TCurrentValues current(registry, scope, plan.store->Access());
        auto unchanged = [&](const std::u16string& name, const TSeenValue& seen) {
            RegValue now;
            const bool exists = current.Get(name, now);
            return seen ? exists && now.type == seen->type && now.data == seen->data : !exists;
        };
        for (const auto& write : plan.writes) {
            if (!unchanged(write.name, write.seen)) {
                fSaveMetOutsideChange = true;
                throw TError(
                    trFormat("'%s' was changed by another program while saving; nothing was written", write.name));
            }
        }
        for (const auto& del : plan.deletes) {
            if (!unchanged(del.name, del.seen)) {
                fSaveMetOutsideChange = true;
                throw TError(
                    trFormat("'%s' was changed by another program while saving; nothing was written", del.name));
            }
        }
    }
    if (history) {
        // The way back, on the disk before the first write.
        std::vector<THistoryValue> before;
        for (const auto& write : plan.writes) {
            before.push_back({write.storedName.empty() ? write.name : write.storedName, write.seen});
        }
        for (const auto& del : plan.deletes) {
            before.push_back({del.name, del.seen});
        }
        history->Record(scope, before, THistorySource::Window);
    }
    TEnvStore& store = *plan.store;
    // What the registry holds after the step; taken over only once the step
    // is committed, so that a failed step leaves the baseline true.
    std::vector<TLoadedValue> written;
    for (const auto& write : plan.writes) {
        if (!write.storedName.empty()) {
            // A new spelling of a stored name: the registry would keep the
            // old spelling on overwrite, so that value goes first and comes
            // back if the write fails.
            RegValue old;
            TCurrentValues stored(registry, scope, store.Access());
            const bool had = stored.Get(write.storedName, old);
            store.DeleteValue(write.storedName);
            try {
                writeValue(store, write.name, write.value, write.type);
            } catch (const TError&) {
                if (had) {
                    stored.Put(write.storedName, old); // byte for byte as it was
                }
                throw;
            }
        } else {
            writeValue(store, write.name, write.value, write.type);
        }
        written.push_back(TLoadedValue{write.name, RegValue{write.type, EncodeRegString(write.value)}, write.value});
    }
    for (const auto& del : plan.deletes) {
        store.DeleteValue(del.name);
    }
    plan.store->CloseKey();
    plan.store.reset();
    if (const uint32_t rc = update->commit(); rc != error::kSuccess) {
        ThrowWriteError(scope, rc);
    }
    auto& locale = fPlatform.locale();
    auto& values = fBaseline->values;
    for (auto& value : written) {
        values[locale.foldCase(value.name)] = std::move(value);
    }
    for (const auto& del : plan.deletes) {
        values.erase(locale.foldCase(del.name));
    }
}

bool TETree::SaveToRegistry(const TSaveQuestion& ask)
{
    auto plan = PrepareSave(ask);
    if (!plan) {
        return false;
    }
    ExecuteSave(*plan);
    return true;
}

TETree::TViewState TETree::GetViewState() const
{
    TViewState state;
    auto place = [this](const TENode* node) {
        const TENode* variable = GetVariableNode(node);
        return std::pair(variable->VarData()->GetVariableName(),
                         node->IsVariable() ? -1 : static_cast<int>(node->Row()));
    };
    for (const auto& variable : fRootNode.fChildren) {
        if (variable->fExpanded) {
            state.expanded.push_back(variable->VarData()->GetVariableName());
        }
    }
    for (const TENode* node : GetSelectedNodes()) {
        state.selected.push_back(place(node));
    }
    if (fFocused) {
        state.focused = place(fFocused);
    }
    return state;
}

void TETree::SetViewState(const TViewState& state)
{
    auto find = [this](const std::pair<std::u16string, int>& place) -> TENode* {
        TENode* variable = FindVariable(place.first);
        if (!variable || place.second < 0 || variable->ChildCount() == 0) {
            return variable;
        }
        return variable->Child(std::min(static_cast<size_t>(place.second), variable->ChildCount() - 1));
    };
    for (const auto& name : state.expanded) {
        SetExpanded(FindVariable(name), true);
    }
    TENode* focused = state.focused ? find(*state.focused) : nullptr;
    ActivateNode(focused);
    for (const auto& place : state.selected) {
        SetSelected(find(place), true);
    }
}

const std::vector<std::u16string>& TETree::SystemReadOnlyNames()
{
    static const std::vector<std::u16string> names{u"ALLUSERSPROFILE",
                                                   u"CLIENTNAME",
                                                   u"CommonProgramFiles",
                                                   u"CommonProgramFiles(x86)",
                                                   u"COMPUTERNAME",
                                                   u"ProgramFiles",
                                                   u"ProgramFiles(x86)",
                                                   u"ProgramW6432",
                                                   u"SystemDrive",
                                                   u"SystemRoot",
                                                   u"PUBLIC",
                                                   u"ProgramData"};
    return names;
}

const std::vector<std::u16string>& TETree::UserReadOnlyNames()
{
    static const std::vector<std::u16string> names{u"APPDATA",     u"HOMEDRIVE",    u"HOMEPATH",
                                                   u"LOGONSERVER", u"LOCALAPPDATA", u"SESSIONNAME",
                                                   u"USERDOMAIN",  u"USERNAME",     u"USERPROFILE"};
    return names;
}

void TETree::AddReadOnlyVariables()
{
    auto& environment = fPlatform.environment();
    for (const auto& name : IsUserTree() ? UserReadOnlyNames() : SystemReadOnlyNames()) {
        const std::u16string value = environment.variable(name);
        if (!value.empty()) {
            AddVariable(name, value, kDataTypeString, true);
        }
    }
}

} // namespace talvoren
