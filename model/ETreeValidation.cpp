// Expansion of %NAME% references and validation of the tree's variables:
// the half of TETree that the window's timer drives five times a second.

#include "base/Text.h"
#include "base/Translation.h"
#include "model/ETree.h"
#include "model/EffectiveEnvironment.h"
#include "model/PathChecks.h"
#include "settings/Exclusions.h"

#include <algorithm>

namespace talvoren {

namespace {

// Appends a referenced value; false once the text would outgrow what any
// environment block can hold.
bool append(std::u16string& result, const std::u16string& text, size_t limit)
{
    if (result.size() + text.size() > limit) {
        return false;
    }
    result += text;
    return true;
}
} // namespace

std::pair<const TETree*, const TENode*> TETree::LookUpReference(const std::u16string& name) const
{
    // Names are looked up in this tree first on every pass, also in text
    // that came from the resolving tree.
    if (const TENode* variable = FindVariable(name)) {
        return {this, variable};
    }
    if (fResolvingTree) {
        if (const TENode* variable = fResolvingTree->FindVariable(name)) {
            return {fResolvingTree, variable};
        }
    }
    return {nullptr, nullptr};
}

std::optional<std::u16string> TETree::ExpandReferences(const std::u16string& text, int depth,
                                                       TExpansionFailure* failure) const
{
    // Growth is what is bounded: a text that is already longer (typed or
    // pasted) may still shrink or stay as it is.
    const size_t limit = std::max(kMaxExpandedLength, text.size());
    auto fail = [&](bool tooLong) -> std::optional<std::u16string> {
        if (failure) {
            // Outgrowing the block is a loop too when the references come
            // back to themselves (a value doubling in every pass).
            *failure = tooLong && !ReachesReferenceLoop(text) ? TExpansionFailure::TooLong : TExpansionFailure::Loop;
        }
        return std::nullopt;
    };
    std::u16string current = text;
    std::u16string result;
    std::u16string name;
    for (;; ++depth) {
        if (depth >= kMaxExpansionPasses) {
            return fail(false);
        }
        if (current.find(u'%') == std::u16string::npos) {
            return current; // nothing to replace: this pass would not change it
        }
        result.clear();
        bool inside = false;
        for (char16_t c : current) {
            if (c != u'%') {
                (inside ? name : result) += c;
                continue;
            }
            if (!inside) {
                inside = true;
                name.clear();
                continue;
            }
            inside = false;
            const auto [owner, variable] = LookUpReference(name);
            const bool ok = variable ? append(result, owner->GetVariableValue(variable), limit)
                                     : append(result, u"%" + name + u"%", limit);
            if (!ok) {
                return fail(true);
            }
        }
        if ((inside && !append(result, u"%" + name, limit)) || result.size() > limit) {
            return fail(true);
        }
        if (result == current) {
            return result;
        }
        std::swap(current, result);
    }
}

bool TETree::ReachesReferenceLoop(const std::u16string& text) const
{
    // Depth-first over "this value names that variable", iteratively: a
    // chain of references can be as long as the tree.
    enum class State { OnPath, Done };
    std::unordered_map<const TENode*, State> seen;
    auto namesIn = [this](const std::u16string& value) {
        std::vector<const TENode*> named;
        size_t open = std::u16string::npos;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] != u'%') {
                continue;
            }
            if (open == std::u16string::npos) {
                open = i;
                continue;
            }
            if (const TENode* variable = LookUpReference(value.substr(open + 1, i - open - 1)).second) {
                named.push_back(variable);
            }
            open = std::u16string::npos;
        }
        return named;
    };
    struct Step {
        std::vector<const TENode*> next;
        size_t at = 0;
        const TENode* variable = nullptr;
    };
    std::vector<Step> path;
    path.push_back({namesIn(text), 0, nullptr});
    while (!path.empty()) {
        Step& step = path.back();
        if (step.at == step.next.size()) {
            if (step.variable) {
                seen[step.variable] = State::Done;
            }
            path.pop_back();
            continue;
        }
        const TENode* variable = step.next[step.at++];
        const auto known = seen.find(variable);
        if (known != seen.end()) {
            if (known->second == State::OnPath) {
                return true;
            }
            continue;
        }
        seen[variable] = State::OnPath;
        path.push_back({namesIn(GetVariableValue(variable)), 0, variable});
    }
    return false;
}

TExpansionFailure TETree::GetElementExFailure(const TENode* node) const
{
    if (!node || node->IsVariable() || GetVariableType(node) == kDataTypeString) {
        return TExpansionFailure::None;
    }
    TExpansionFailure failure = TExpansionFailure::None;
    ExpandReferences(GetElement(node), 0, &failure);
    return failure;
}

std::u16string TETree::ExpansionFailureText(TExpansionFailure failure)
{
    return failure == TExpansionFailure::TooLong ? tr("Expanded value is longer than 32767 characters")
                                                 : tr("Infinite loop detected");
}

std::u16string TETree::GetElementEx(const TENode* node) const
{
    const std::u16string& text = GetElement(node);
    if (GetVariableType(node) == kDataTypeString) {
        return text;
    }
    TExpansionFailure failure = TExpansionFailure::None;
    auto expanded = ExpandReferences(text, 0, &failure);
    return expanded ? std::move(*expanded) : ExpansionFailureText(failure);
}

std::u16string TETree::GetVariableValueEx(const TENode* node) const
{
    const std::u16string value = GetVariableValue(node);
    if (GetVariableType(node) == kDataTypeString) {
        return value;
    }
    TExpansionFailure failure = TExpansionFailure::None;
    auto expanded = ExpandReferences(value, 0, &failure);
    return expanded ? std::move(*expanded) : ExpansionFailureText(failure);
}

void TETree::StoreFlag(TENode* node, bool wrong)
{
    if (node->fData->GetWrongPath() == wrong) {
        return;
    }
    node->fData->SetWrongPath(wrong);
    Notify([&](IETreeObserver& o) { o.FlagsChanged(node); });
}

void TETree::Verify()
{
    auto& fs = fPlatform.fileSystem();
    // The same folder is often named by many elements (through references,
    // in several lists); within one pass it is probed once.
    TProbeCache probes;
    const TFolderSet systemPath = SystemPathFolders();
    for (const auto& variable : fRootNode.fChildren) {
        auto guard = fs.suppressCriticalErrors();
        VerifyVariable(variable.get(), probes, systemPath);
        VerifyLiteralReferences(variable.get());
    }
}

void TETree::VerifyLiteralReferences(TENode* variable)
{
    // Most values can hold no such reference (an expandable user value) or
    // hold no '%' at all: one look at the type and one search per element.
    const uint8_t type = GetVariableType(variable);
    const bool readOnly = GetVariableReadOnly(variable);
    const bool afterSystem = !readOnly && !IsUserTree() && type == kDataTypeExpandString;
    const bool text = !readOnly && type == kDataTypeString;
    const auto literal = [&](const std::u16string& value) {
        return (afterSystem || text) && value.find(u'%') != std::u16string::npos
            && !LiteralNames(value, afterSystem).empty();
    };
    bool any = false;
    for (const auto& element : variable->fChildren) {
        const bool own = literal(GetElement(element.get()));
        StoreLiteralReference(element.get(), own);
        any = any || own;
    }
    if (variable->fChildren.empty()) {
        any = literal(GetVariableValue(variable));
    }
    StoreLiteralReference(variable, any);
}

void TETree::StoreLiteralReference(TENode* node, bool literal)
{
    if (node->fLiteralReference == literal) {
        return;
    }
    node->fLiteralReference = literal;
    Notify([&](IETreeObserver& o) { o.FlagsChanged(node); });
}

bool TETree::IsKnownName(const std::u16string& name) const
{
    return LookUpReference(name).second || IsDefinedAfterSystemScope(name)
        || (fLaterScope && fLaterScope->FindVariable(name));
}

std::vector<std::u16string> TETree::LiteralReferences(const TENode* node, bool afterSystem) const
{
    std::vector<std::u16string> names;
    const TENode* variable = node ? GetVariableNode(node) : nullptr;
    if (!variable || GetVariableReadOnly(variable)) {
        return names;
    }
    const int type = GetVariableType(variable);
    if (afterSystem ? (IsUserTree() || type != kDataTypeExpandString) : type != kDataTypeString) {
        return names;
    }
    return LiteralNames(node->IsVariable() ? GetVariableValue(node) : GetElement(node), afterSystem);
}

std::vector<std::u16string> TETree::LiteralNames(const std::u16string& text, bool afterSystem) const
{
    std::vector<std::u16string> names;
    for (const auto& name : ReferencedNames(text)) {
        bool literal = false;
        if (afterSystem) {
            // Windows builds the system scope before the per-user values and
            // the user scope: only what it defined by then expands.
            const TENode* own = FindVariable(name);
            if (own && !GetVariableReadOnly(own)) {
                continue;
            }
            const TENode* later = !own && fLaterScope ? fLaterScope->FindVariable(name) : nullptr;
            literal = IsDefinedAfterSystemScope(name) || (later && !fLaterScope->GetVariableReadOnly(later));
        } else {
            literal = IsKnownName(name);
        }
        if (literal) {
            std::u16string shown = u"%" + name + u"%";
            if (std::find(names.begin(), names.end(), shown) == names.end()) {
                names.push_back(std::move(shown));
            }
        }
    }
    return names;
}

std::u16string TETree::FolderKey(const std::u16string& folder) const
{
    std::u16string key = fPlatform.locale().foldCase(folder);
    while (key.size() > 1 && key.back() == u'\\') {
        key.pop_back();
    }
    return key;
}

TETree::TFolderSet TETree::SystemPathFolders() const
{
    TFolderSet folders;
    if (!IsUserTree() || !fResolvingTree) {
        return folders;
    }
    const TENode* path = fResolvingTree->FindVariable(u"Path");
    if (!path || fResolvingTree->GetVariableReadOnly(path)) {
        return folders;
    }
    for (const auto& folder : SplitValue(fResolvingTree->GetVariableValueEx(path))) {
        if (!folder.empty()) {
            folders.insert(FolderKey(folder));
        }
    }
    return folders;
}

void TETree::StoreInSystemPath(TENode* node, bool inSystemPath)
{
    if (node->fInSystemPath == inSystemPath) {
        return;
    }
    node->fInSystemPath = inSystemPath;
    Notify([&](IETreeObserver& o) { o.FlagsChanged(node); });
}

void TETree::VerifyVariable(TENode* variable, TProbeCache& probes, const TFolderSet& systemPath)
{
    auto& fs = fPlatform.fileSystem();
    const std::u16string& name = variable->VarData()->GetVariableName();
    if (IsUserTree() && name == u"HOMEPATH") {
        // The profile folder is the drive and the path together; the element
        // alone would be a path on whatever drive is current.
        const std::u16string path = GetValueByName(u"HOMEDRIVE") + GetVariableValue(variable);
        StoreFlag(variable, !FolderExists(path, fs));
        return;
    }
    const bool check = CheckFor(name);
    const bool split = SplitFor(name);
    bool variableWrong = false;
    std::vector<std::u16string> pieces;
    for (const auto& element : variable->fChildren) {
        bool wrong = false;
        if (check) {
            // An expanded element can hold a whole list, such as %PATH%.
            const std::u16string expanded = GetElementEx(element.get());
            if (split) {
                SplitValue(expanded, pieces);
            } else {
                pieces.assign(1, expanded);
            }
            for (const auto& piece : pieces) {
                if (!IsPath(piece)) {
                    continue;
                }
                auto [known, added] = probes.try_emplace(piece, false);
                if (added) {
                    known->second = !FolderExists(piece, fs) && !PathExists(piece, fs);
                }
                if (known->second) {
                    wrong = true;
                    break;
                }
            }
        }
        StoreFlag(element.get(), wrong);
        variableWrong = variableWrong || wrong;
        bool inSystemPath = false;
        if (!systemPath.empty() && equalsAsciiNoCase(name, u"Path") && !GetVariableReadOnly(variable)) {
            const std::u16string text = GetElementEx(element.get());
            inSystemPath = !text.empty() && systemPath.count(FolderKey(text)) > 0;
        }
        StoreInSystemPath(element.get(), inSystemPath);
    }
    StoreFlag(variable, variableWrong);
}

bool TETree::IsValid(const TENode* node) const
{
    return node && !node->Data().GetWrongPath();
}

bool TETree::HasErrorMark(const TENode* node) const
{
    if (!node || !node->IsVariable()) {
        return false;
    }
    return node->Data().GetWrongPath() || node->ValueLength() > kMaxValueLength;
}

bool TETree::HasExclusionMark(const TENode* node) const
{
    return node && node->IsVariable() && fExclusions && fExclusions->ContainsKey(GetVariableName(node));
}

std::vector<std::u16string> TETree::GetNodeErrors(const TENode* node) const
{
    std::vector<std::u16string> errors;
    if (!node) {
        return errors;
    }
    if (!node->IsVariable()) {
        if (node->Data().GetWrongPath()) {
            errors.push_back(tr("Invalid path or you have no access to it"));
        }
        if (GetElementExFailure(node) == TExpansionFailure::TooLong) {
            errors.push_back(ExpansionFailureText(TExpansionFailure::TooLong));
        }
        return errors;
    }
    if (node->Data().GetWrongPath()) {
        errors.push_back(tr("Variable contains invalid path or you have no access to it"));
    }
    if (node->ValueLength() > kMaxValueLength) {
        errors.push_back(tr("Value exceeds length limit of 2047 characters"));
    }
    return errors;
}

std::vector<std::u16string> TETree::GetNodeWarnings(const TENode* node) const
{
    std::vector<std::u16string> warnings;
    if (HasExclusionMark(node)) {
        warnings.push_back(tr("Variable is in the exclude list"));
    }
    if (node && node->IsInSystemPath()) {
        warnings.push_back(tr("Also in the system Path, which is searched first"));
    }
    for (const auto& reference : LiteralReferences(node, true)) {
        warnings.push_back(trFormat("Refers to '%s', which Windows defines only after the system variables: the "
                                    "reference stays as written for every process",
                                    reference));
    }
    for (const auto& reference : LiteralReferences(node, false)) {
        warnings.push_back(trFormat("'%s' is not expanded in a text string: change the variable type (F6) to an "
                                    "expandable string",
                                    reference));
    }
    for (const auto& name : SameStepReferences(node)) {
        warnings.push_back(trFormat("Refers to '%s', another expandable variable of this scope: Windows sets both "
                                    "in one step, so the value it sees is not defined",
                                    name));
    }
    return warnings;
}

std::vector<std::u16string> TETree::SameStepReferences(const TENode* node) const
{
    std::vector<std::u16string> names;
    const TENode* variable = node ? GetVariableNode(node) : nullptr;
    if (!variable || GetVariableType(variable) != kDataTypeExpandString || GetVariableReadOnly(variable)) {
        return names;
    }
    for (const auto& name : ReferencedNames(node->IsVariable() ? GetVariableValue(node) : GetElement(node))) {
        const TENode* other = FindVariable(name);
        if (other && other != variable && !GetVariableReadOnly(other) && GetVariableType(other) == kDataTypeExpandString
            && std::find(names.begin(), names.end(), GetVariableName(other)) == names.end()) {
            names.push_back(GetVariableName(other));
        }
    }
    return names;
}

std::u16string TETree::GetNodeHint(const TENode* node) const
{
    const auto errors = GetNodeErrors(node);
    const auto warnings = GetNodeWarnings(node);
    if (errors.empty() && warnings.empty()) {
        return {};
    }
    std::u16string hint;
    if (!errors.empty()) {
        hint = tr("Error(s)") + u":";
        for (const auto& error : errors) {
            hint += u"\r\n- " + error;
        }
    }
    if (!warnings.empty()) {
        hint += u"\r\n\r\n" + tr("Warning(s)") + u":";
        for (const auto& warning : warnings) {
            hint += u"\r\n- " + warning;
        }
    }
    return hint;
}

} // namespace talvoren
