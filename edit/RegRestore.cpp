#include "edit/RegRestore.h"

#include "base/Text.h"
#include "base/Translation.h"
#include "model/ETree.h"
#include "model/NodeInfo.h"
#include "model/PushInterface.h"
#include "model/RegFile.h"
#include "model/VariableName.h"
#include "platform/Platform.h"
#include "platform/Utf.h"

namespace talvoren {

namespace {

std::u16string trimBackslashes(std::u16string path)
{
    while (!path.empty() && path.front() == u'\\') {
        path.erase(0, 1);
    }
    while (!path.empty() && path.back() == u'\\') {
        path.pop_back();
    }
    return path;
}

// The tree a script's key path belongs to, or nullptr.
TETree* treeFor(const std::u16string& scriptPath, TETree& user, TETree& system)
{
    const std::u16string path = trimBackslashes(scriptPath);
    const size_t separator = path.find(u'\\');
    const std::u16string rootName = path.substr(0, separator);
    const std::u16string key = separator == std::u16string::npos ? std::u16string() : path.substr(separator + 1);
    const auto named = [&](std::u16string_view longName, std::u16string_view shortName) {
        return equalsAsciiNoCase(rootName, longName) || equalsAsciiNoCase(rootName, shortName);
    };
    const auto matches = [&](const TETree& tree) {
        return equalsAsciiNoCase(key, trimBackslashes(tree.GetKey()));
    };
    if (named(u"HKEY_LOCAL_MACHINE", u"HKLM")) {
        return system.GetRoot() == platform::RootKey::LocalMachine && matches(system) ? &system : nullptr;
    }
    if (named(u"HKEY_CURRENT_USER", u"HKCU")) {
        return equalsAsciiNoCase(key, u"Environment") ? &user : nullptr;
    }
    if (named(u"HKEY_USERS", u"HKU")) {
        return user.GetRoot() == platform::RootKey::Users && matches(user) ? &user : nullptr;
    }
    return nullptr;
}

struct TChange {
    TETree* Tree = nullptr;
    TRegFileValue Value;
    std::u16string Text; // the value's text when set
};

// Why the trees cannot hold the value as stated (empty: they can).
std::u16string refusal(const TETree& tree, const TRegFileValue& value, std::u16string& text)
{
    if (!tree.IsEditable()) {
        return tr("this scope cannot be changed");
    }
    const std::u16string nameError = VariableNameError(value.Name);
    if (!nameError.empty()) {
        return nameError;
    }
    if (const TENode* node = tree.FindVariable(value.Name); node && tree.GetVariableReadOnly(node)) {
        return tr("the variable is read-only");
    }
    if (value.Deleted) {
        return {};
    }
    if (value.Type != platform::regtype::kSz && value.Type != platform::regtype::kExpandSz) {
        return tr("only string and expandable string values are environment variables");
    }
    text = platform::fromUtf16Le(value.Data, 0, false);
    if (!text.empty() && text.back() == u'\0') {
        text.pop_back();
    }
    return ValueTextError(text);
}

bool holdsAlready(const TETree& tree, const TChange& change)
{
    const TENode* node = tree.FindVariable(change.Value.Name);
    if (change.Value.Deleted) {
        return node == nullptr;
    }
    return node && tree.GetVariableValue(node) == change.Text && tree.GetVariableType(node) == change.Value.Type;
}

} // namespace

TRestoreReport RestoreIntoTrees(const TRegFileContent& content, TETree& user, TETree& system)
{
    TRestoreReport report;
    std::vector<TChange> changes;
    for (const TRegFileContent::Key& key : content.Keys) {
        TETree* tree = treeFor(key.Path, user, system);
        if (!tree || key.Removed) {
            report.Skipped += key.Removed ? 1 : key.Values.size();
            continue;
        }
        for (const TRegFileValue& value : key.Values) {
            TChange change{tree, value, {}};
            const std::u16string reason = refusal(*tree, value, change.Text);
            if (!reason.empty()) {
                report.Refused.push_back((value.Name.empty() ? u"@" : value.Name) + u": " + reason);
            } else if (holdsAlready(*tree, change)) {
                ++report.Unchanged;
            } else {
                changes.push_back(std::move(change));
            }
        }
    }
    if (changes.empty()) {
        return report;
    }
    if (IPushInterface* undo = user.GetPushInterface()) {
        undo->Push(tr("Restore")); // captures both trees: one step for the whole restore
    }
    for (const TChange& change : changes) {
        TETree& tree = *change.Tree;
        TENode* node = tree.FindVariable(change.Value.Name);
        if (change.Value.Deleted) {
            if (node) {
                tree.DeleteNode(node);
            }
        } else if (node) {
            tree.SetVariableValue(node, change.Text);
            tree.SetVariableType(node, static_cast<uint8_t>(change.Value.Type));
        } else {
            tree.AddVariable(NormalizeVariableName(change.Value.Name), change.Text,
                             static_cast<uint8_t>(change.Value.Type), false);
        }
        ++report.Changed;
    }
    return report;
}

} // namespace talvoren
