#pragma once

// The environment that a new process of the shown account gets from the two
// scopes, built the way Windows builds it at logon (docs/effective-environment.md):
// in steps, each of which may redefine what an earlier step set, with
// expandable values seeing only what earlier steps defined. It is computed
// from the trees as they stand, so it answers "what will a process get if I
// save now".

#include <cstdint>
#include <string>
#include <vector>

namespace talvoren {

class TETree;
class TENode;

namespace platform {
class ILocale;
class IFileSystem;
} // namespace platform

// The step that gave a variable its final value.
enum class TEnvOrigin : uint8_t {
    Machine, // the core machine variables (SystemRoot, ...)
    System, // the system scope's values
    PerUser, // the core per-user variables (USERPROFILE, APPDATA, ...)
    User, // the user scope's values
    SystemAndUser, // Path and its kind: the user's value appended to the system's
    Account, // USERNAME, USERDOMAIN, ...
};

struct TEffectiveVariable {
    std::u16string name;
    std::u16string value;
    TEnvOrigin origin = TEnvOrigin::System;
    // The tree nodes it came from (nullptr where a scope gave nothing).
    const TENode* systemNode = nullptr;
    const TENode* userNode = nullptr;
};

// One folder of the effective Path, in search order.
struct TEffectivePathElement {
    std::u16string folder; // expanded
    bool fromUser = false;
    const TENode* node = nullptr; // the element node it was expanded from
};

// A reference between two expandable values of one step: Windows does not
// say whether it sees the value before or after that step.
struct TSameStepReference {
    const TENode* variable = nullptr; // the variable whose value refers
    std::u16string referenced; // the name it refers to
};

class TEffectiveEnvironment {
public:
    // `system` and `user` are the two trees of the shown account; their
    // read-only variables stand for the values the logon itself provides.
    TEffectiveEnvironment(const TETree& system, const TETree& user);

    // Every variable, sorted by name as "set" lists them.
    const std::vector<TEffectiveVariable>& Variables() const { return fVariables; }
    // The final variable of this name (case-insensitive), or nullptr.
    const TEffectiveVariable* Find(const std::u16string& name) const;
    // The folders of the final Path, in the order a search walks them.
    const std::vector<TEffectivePathElement>& PathElements() const { return fPath; }
    const std::vector<TSameStepReference>& SameStepReferences() const { return fSameStep; }

    // "NAME=value" lines as "set" prints them.
    std::u16string ToText() const;

private:
    std::vector<TEffectiveVariable> fVariables;
    std::vector<TEffectivePathElement> fPath;
    std::vector<TSameStepReference> fSameStep;
    platform::ILocale& fLocale;
};

// Whether the logon defines `name` only after the system scope (a per-user
// or account variable such as USERPROFILE or USERNAME), so that a system
// value cannot refer to it.
bool IsDefinedAfterSystemScope(const std::u16string& name);

// The names of the %NAME% references in `text`, in order.
std::vector<std::u16string> ReferencedNames(const std::u16string& text);

// Whether the environment joins the user's value to the system's for this
// name (Path, LibPath, Os2LibPath) instead of replacing it.
bool IsAppendedVariable(const std::u16string& name);

// A file a console would start for `command`: every folder of the effective
// Path in order, in each the extensions of PATHEXT in order (a command that
// already ends in one of them is looked for as it is). The first hit runs;
// the later ones are shadowed by it.
struct TProgramHit {
    std::u16string file; // full path
    const TEffectivePathElement* folder = nullptr;
};
std::vector<TProgramHit> FindPrograms(const TEffectiveEnvironment& environment, const std::u16string& command,
                                      platform::IFileSystem& fs);

} // namespace talvoren
