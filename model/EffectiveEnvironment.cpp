#include "model/EffectiveEnvironment.h"

#include "base/Text.h"
#include "model/ETree.h"

#include <algorithm>
#include <unordered_map>

namespace talvoren {

namespace {

// The logon's own variables, by the step that sets them. The values are
// the trees' read-only variables, which hold what the logon gave this
// session.
const std::vector<std::u16string>& machineNames()
{
    static const std::vector<std::u16string> names{u"ALLUSERSPROFILE", u"ProgramData", u"PUBLIC", u"SystemDrive",
                                                   u"SystemRoot"};
    return names;
}

const std::vector<std::u16string>& perUserNames()
{
    static const std::vector<std::u16string> names{u"APPDATA",
                                                   u"COMPUTERNAME",
                                                   u"LOCALAPPDATA",
                                                   u"ProgramFiles",
                                                   u"ProgramFiles(x86)",
                                                   u"ProgramW6432",
                                                   u"CommonProgramFiles",
                                                   u"CommonProgramFiles(x86)",
                                                   u"CommonProgramW6432",
                                                   u"USERPROFILE",
                                                   u"HOMEDRIVE",
                                                   u"HOMEPATH",
                                                   u"LOGONSERVER"};
    return names;
}

const std::vector<std::u16string>& accountNames()
{
    static const std::vector<std::u16string> names{u"USERDNSDOMAIN", u"USERDOMAIN", u"USERNAME", u"SESSIONNAME",
                                                   u"CLIENTNAME"};
    return names;
}

// The environment while it is being built: insertion order does not matter,
// the result is sorted at the end.
class TBuilder {
public:
    explicit TBuilder(platform::ILocale& locale)
        : fLocale(locale)
    {
    }

    TEffectiveVariable* Find(const std::u16string& name)
    {
        auto it = fIndex.find(fLocale.foldCase(name));
        return it == fIndex.end() ? nullptr : &fVariables[it->second];
    }

    TEffectiveVariable& Set(const std::u16string& name, std::u16string value, TEnvOrigin origin)
    {
        TEffectiveVariable* variable = Find(name);
        if (!variable) {
            fIndex.emplace(fLocale.foldCase(name), fVariables.size());
            variable = &fVariables.emplace_back();
            variable->name = name;
        }
        variable->value = std::move(value);
        variable->origin = origin;
        return *variable;
    }

    // ExpandEnvironmentStrings: one pass; an undefined reference stays as
    // written, and its closing '%' may open the next one.
    std::u16string Expand(const std::u16string& text)
    {
        std::u16string out;
        size_t i = 0;
        while (i < text.size()) {
            const size_t open = text.find(u'%', i);
            if (open == std::u16string::npos) {
                out.append(text, i, std::u16string::npos);
                break;
            }
            out.append(text, i, open - i);
            const size_t close = text.find(u'%', open + 1);
            if (close == std::u16string::npos) {
                out.append(text, open, std::u16string::npos);
                break;
            }
            const std::u16string name = text.substr(open + 1, close - open - 1);
            const TEffectiveVariable* variable = name.empty() ? nullptr : Find(name);
            if (variable) {
                out += variable->value;
                i = close + 1;
            } else {
                out.append(text, open, close - open);
                i = close;
            }
        }
        return out;
    }

    std::vector<TEffectiveVariable> Take() { return std::move(fVariables); }

private:
    platform::ILocale& fLocale;
    std::vector<TEffectiveVariable> fVariables;
    std::unordered_map<std::u16string, size_t> fIndex;
};

} // namespace

bool IsDefinedAfterSystemScope(const std::u16string& name)
{
    for (const auto* names : {&perUserNames(), &accountNames()}) {
        for (const auto& later : *names) {
            if (equalsAsciiNoCase(later, name)) {
                return true;
            }
        }
    }
    return false;
}

std::vector<std::u16string> ReferencedNames(const std::u16string& text)
{
    std::vector<std::u16string> names;
    size_t open = text.find(u'%');
    while (open != std::u16string::npos) {
        const size_t close = text.find(u'%', open + 1);
        if (close == std::u16string::npos) {
            break;
        }
        if (close > open + 1) {
            names.push_back(text.substr(open + 1, close - open - 1));
        }
        open = text.find(u'%', close + 1);
    }
    return names;
}

namespace {

const TENode* readOnlyVariable(const TETree& tree, const std::u16string& name)
{
    for (const TENode* variable : tree.Variables()) {
        if (tree.GetVariableReadOnly(variable) && equalsAsciiNoCase(tree.GetVariableName(variable), name)) {
            return variable;
        }
    }
    return nullptr;
}

std::vector<const TENode*> scopeValues(const TETree& tree, uint8_t type)
{
    std::vector<const TENode*> values;
    for (const TENode* variable : tree.Variables()) {
        if (!tree.GetVariableReadOnly(variable) && tree.GetVariableType(variable) == type) {
            values.push_back(variable);
        }
    }
    return values;
}

std::u16string joined(const std::u16string& first, const std::u16string& second)
{
    if (first.empty()) {
        return second;
    }
    return first.back() == u';' ? first + second : first + u';' + second;
}

class TBuild {
public:
    TBuild(const TETree& system, const TETree& user, std::vector<TSameStepReference>& sameStep,
           std::vector<TEffectivePathElement>& path)
        : fSystem(system)
        , fUser(user)
        , fLocale(system.Platform().locale())
        , fEnvironment(fLocale)
        , fSameStep(sameStep)
        , fPath(path)
    {
    }

    std::vector<TEffectiveVariable> Run()
    {
        Logon(machineNames(), TEnvOrigin::Machine);
        ScopeStep(fSystem, kDataTypeString, false);
        ScopeStep(fSystem, kDataTypeExpandString, false);
        Logon(perUserNames(), TEnvOrigin::PerUser);
        ScopeStep(fUser, kDataTypeString, true);
        ScopeStep(fUser, kDataTypeExpandString, true);
        Logon(accountNames(), TEnvOrigin::Account);
        return fEnvironment.Take();
    }

private:
    void Logon(const std::vector<std::u16string>& names, TEnvOrigin origin)
    {
        for (const auto& name : names) {
            const TENode* node = readOnlyVariable(fUser, name);
            const TETree* tree = &fUser;
            if (!node) {
                node = readOnlyVariable(fSystem, name);
                tree = &fSystem;
            }
            std::u16string value
                = node ? tree->GetVariableValue(node) : fSystem.Platform().environment().variable(name);
            if (!value.empty()) {
                TEffectiveVariable& variable = fEnvironment.Set(name, std::move(value), origin);
                variable.systemNode = tree == &fSystem ? node : nullptr;
                variable.userNode = tree == &fUser ? node : nullptr;
            }
        }
    }

    // One scope's values of one type. Expandable values all see the
    // environment as it stood before the step.
    void ScopeStep(const TETree& tree, uint8_t type, bool isUser)
    {
        const std::vector<const TENode*> values = scopeValues(tree, type);
        const bool expand = type == kDataTypeExpandString;
        TBuilder before = fEnvironment;
        if (expand) {
            NoteSameStep(tree, values);
        }
        for (const TENode* node : values) {
            const std::u16string& name = tree.GetVariableName(node);
            std::u16string value = tree.GetVariableValue(node);
            if (expand) {
                value = before.Expand(value);
            }
            const TEffectiveVariable* earlier = fEnvironment.Find(name);
            const bool append = isUser && IsAppendedVariable(name) && earlier && earlier->systemNode;
            const TENode* systemNode = earlier && isUser ? earlier->systemNode : nullptr;
            TEffectiveVariable& variable = fEnvironment.Set(
                name, append ? joined(earlier->value, value) : std::move(value),
                append ? TEnvOrigin::SystemAndUser : (isUser ? TEnvOrigin::User : TEnvOrigin::System));
            variable.systemNode = isUser ? (append ? systemNode : nullptr) : node;
            variable.userNode = isUser ? node : nullptr;
            if (equalsAsciiNoCase(name, u"Path")) {
                AddPathElements(tree, node, expand ? &before : nullptr, isUser, append);
            }
        }
    }

    void NoteSameStep(const TETree& tree, const std::vector<const TENode*>& values)
    {
        for (const TENode* node : values) {
            for (const auto& name : ReferencedNames(tree.GetVariableValue(node))) {
                const bool sameStep = std::any_of(values.begin(), values.end(), [&](const TENode* other) {
                    return other != node && fLocale.compareNoCase(tree.GetVariableName(other), name) == 0;
                });
                if (sameStep) {
                    fSameStep.push_back({node, name});
                }
            }
        }
    }

    void AddPathElements(const TETree& tree, const TENode* variable, TBuilder* expander, bool isUser, bool append)
    {
        if (!append) {
            fPath.clear();
        }
        auto add = [&](const std::u16string& text, const TENode* node) {
            const std::u16string folders = expander ? expander->Expand(text) : text;
            for (auto& folder : SplitValue(folders)) {
                if (!folder.empty()) {
                    fPath.push_back({std::move(folder), isUser, node});
                }
            }
        };
        if (variable->ChildCount() == 0) {
            add(tree.GetVariableValue(variable), variable);
        }
        for (size_t row = 0; row < variable->ChildCount(); ++row) {
            add(tree.GetElement(variable->Child(row)), variable->Child(row));
        }
    }

    const TETree& fSystem;
    const TETree& fUser;
    platform::ILocale& fLocale;
    TBuilder fEnvironment;
    std::vector<TSameStepReference>& fSameStep;
    std::vector<TEffectivePathElement>& fPath;
};

} // namespace

bool IsAppendedVariable(const std::u16string& name)
{
    return equalsAsciiNoCase(name, u"Path") || equalsAsciiNoCase(name, u"LibPath")
        || equalsAsciiNoCase(name, u"Os2LibPath");
}

TEffectiveEnvironment::TEffectiveEnvironment(const TETree& system, const TETree& user)
    : fLocale(system.Platform().locale())
{
    fVariables = TBuild(system, user, fSameStep, fPath).Run();
    std::sort(fVariables.begin(), fVariables.end(), [](const TEffectiveVariable& a, const TEffectiveVariable& b) {
        const int order = compareAsciiNoCase(a.name, b.name);
        return order != 0 ? order < 0 : a.name < b.name;
    });
}

const TEffectiveVariable* TEffectiveEnvironment::Find(const std::u16string& name) const
{
    for (const auto& variable : fVariables) {
        if (fLocale.compareNoCase(variable.name, name) == 0) {
            return &variable;
        }
    }
    return nullptr;
}

std::u16string TEffectiveEnvironment::ToText() const
{
    std::u16string text;
    for (const auto& variable : fVariables) {
        text += variable.name + u'=' + variable.value + u'\n';
    }
    return text;
}

std::vector<TProgramHit> FindPrograms(const TEffectiveEnvironment& environment, const std::u16string& command,
                                      platform::IFileSystem& fs)
{
    std::vector<TProgramHit> hits;
    const std::u16string name = trimBlanks(command);
    if (name.empty() || name.find_first_of(u"\\/:*?\"<>|") != std::u16string::npos) {
        return hits;
    }
    const TEffectiveVariable* pathExt = environment.Find(u"PATHEXT");
    std::vector<std::u16string> extensions = SplitValue(pathExt ? pathExt->value : u".COM;.EXE;.BAT;.CMD");
    std::erase_if(extensions, [](const std::u16string& extension) { return extension.empty(); });
    // A command that already carries one of the extensions names its file.
    const bool hasExtension = std::any_of(extensions.begin(), extensions.end(), [&](const std::u16string& extension) {
        return name.size() > extension.size()
            && equalsAsciiNoCase(std::u16string_view(name).substr(name.size() - extension.size()), extension);
    });
    const std::vector<std::u16string> candidates = hasExtension ? std::vector<std::u16string>{name} : [&] {
        std::vector<std::u16string> list;
        for (const auto& extension : extensions) {
            list.push_back(name + extension);
        }
        return list;
    }();
    for (const auto& folder : environment.PathElements()) {
        std::u16string base = folder.folder;
        if (base.back() != u'\\') {
            base += u'\\';
        }
        for (const auto& candidate : candidates) {
            // A search for the exact name gives it as the disk spells it.
            const auto found = fs.find(base + candidate, 1);
            if (!found.empty() && !(found[0].attributes & platform::attr::kDirectory)) {
                hits.push_back({base + found[0].name, &folder});
            }
        }
    }
    return hits;
}

} // namespace talvoren
