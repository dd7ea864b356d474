#pragma once

// The environment tree: the variables of one scope as top-level nodes, each
// with its value elements as children. This is the content side only; the
// window shows it through an item model that forwards the tree's change
// notifications one to one (IETreeObserver), so a view never has to rebuild
// itself or poll.

#include "base/EnvStore.h"
#include "model/ENode.h"
#include "model/ETreeObserver.h"
#include "model/NodeInfo.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace talvoren {

class IPushInterface;
class TETree;
class TExclusions;
struct TRegistryBaseline;
struct TSavePlan;
class TSaveHistory;
struct TScopeRead;

// Why an expansion gave no text: references that never settle, or a text
// that outgrows the environment block without any reference loop.
enum class TExpansionFailure { None, Loop, TooLong };

// Image indexes of the tree's image list.
enum : int {
    kImageString = 0, // variable of type string
    kImageExpandable = 1, // variable of type expandable string
    kImageReadOnly = 2, // read-only variable
    kImageError = 3, // error mark over a variable's image
    kImageExclusion = 4, // exclusion mark over a variable's image
    kImageNone = -1, // elements have no image
};

// Longest raw value without a length error, in UTF-16 code units.
constexpr size_t kMaxValueLength = 2047;
// An expansion still changing after this many passes is a loop.
constexpr int kMaxExpansionPasses = 100;
// No expanded text can be longer than the environment block allows; a text
// that grows beyond it counts as a loop (it would otherwise grow without end).
constexpr size_t kMaxExpandedLength = 32767;

class TETree {
public:
    // `undo` may be nullptr (a tree that never pushes, as in tests).
    explicit TETree(platform::IPlatform& platform, IPushInterface* undo = nullptr);
    ~TETree();

    TETree(const TETree&) = delete;
    TETree& operator=(const TETree&) = delete;

    // --- wiring --------------------------------------------------------------

    void AddObserver(IETreeObserver* observer);
    void RemoveObserver(IETreeObserver* observer);

    // Borrows the list and registers a handler that re-splits every variable
    // whenever the list changes. nullptr: no exclusions (all split, checked).
    void SetExclusions(TExclusions* list);
    TExclusions* GetExclusions() const { return fExclusions; }

    void SetResolvingTree(TETree* tree) { fResolvingTree = tree; }
    TETree* GetResolvingTree() const { return fResolvingTree; }
    // The system tree's view of the user tree: names a system value cannot
    // reach, because Windows defines them after the system scope.
    void SetLaterScope(const TETree* tree) { fLaterScope = tree; }

    void SetPushInterface(IPushInterface* undo) { fUndoStack = undo; }
    IPushInterface* GetPushInterface() const { return fUndoStack; }
    // Steps back through the push interface (an add cancelled in the editor).
    void undo();

    // The editing option: off for a system tree whose scope cannot be written.
    void SetEditable(bool editable) { fEditable = editable; }
    bool IsEditable() const { return fEditable; }

    // True only while the in-place editor of a variable is being set up: the
    // variable's text is then its name alone.
    void SetStartEditing(bool value) { fStartEditing = value; }
    bool IsStartEditing() const { return fStartEditing; }
    // Whether committing an in-place edit pushes an undo step.
    void SetOnEdited(bool value) { fOnEdited = value; }
    bool IsOnEdited() const { return fOnEdited; }

    platform::IPlatform& Platform() const { return fPlatform; }

    // --- requests to the views (sent for the edit operations) ---------------

    // Commits an open in-place edit.
    void FinishEditing();
    // Opens the in-place editor on `node` (an add that asks for text).
    void OpenEditor(TENode* node);
    // Tells the views that every element of a variable looks different.
    void RepaintElements(TENode* variable);

    // --- scope and registry --------------------------------------------------

    // Reads the scope's string and expandable values without touching the
    // tree, and starts watching its key. A missing key reads as an empty
    // scope; a key that cannot be read (locked by another process, a damaged
    // hive, no right to read) raises TError with the store's error.
    std::shared_ptr<TScopeRead> ReadRegistry(platform::RootKey root, const std::u16string& key) const;
    // Replaces the whole content by what was read (selects nothing) and keeps,
    // per variable, what the registry held, for the next save.
    void ApplyRead(std::shared_ptr<TScopeRead> read);
    // Both steps. On failure the content stays as it was and TError is
    // raised; a tree that has not loaded this scope before is then not loaded.
    void LoadFromRegistry(platform::RootKey root, const std::u16string& key);
    void LoadFromRegistry(const Scope& scope) { LoadFromRegistry(scope.root, scope.key); }
    // False until a load of the scope has succeeded: such a tree is never saved.
    bool IsLoaded() const { return fLoaded; }

    // Whether another program changed the scope's key since the load or the
    // last call that answered true. Never blocks; false without a watch.
    bool PollRegistryChange();

    // Saving writes what differs from the load: a variable whose name, value
    // or type the tree changed, and deletes a loaded variable that the tree
    // no longer holds. Everything else in the scope stays byte for byte.
    // A variable to be written or deleted that another program changed since
    // the load is put to `ask` first (empty: overwrite).
    enum class TSaveAnswer { Overwrite, Keep, Cancel };
    // One variable that another program changed, as the question shows it.
    struct TSaveConflict {
        std::u16string name;
        bool deleting = false; // the tree no longer holds it
        bool storedExists = false; // false: the other program deleted it
        bool storedIsText = true; // a string or expandable value
        std::u16string stored; // the text stored now
        std::u16string toWrite; // the tree's value (nothing when deleting)
        uint8_t dataType = 0; // the tree's type (when writing)
    };
    using TSaveQuestion = std::function<TSaveAnswer(const TSaveConflict& conflict)>;
    // Opens the scope for writing (raising "Error writing to the registry,
    // the registry key is locked by another process" when it cannot be) and
    // decides what to write; nothing is written. nullptr when an answer was
    // Cancel. A tree that is not loaded gets a plan that writes nothing.
    std::shared_ptr<TSavePlan> PrepareSave(const TSaveQuestion& ask = {});
    // Writes the plan: values first, then deletes, so that a failing write
    // (TError) loses no variable. With `history`, the values about to change
    // are recorded there first; when that fails, nothing is written.
    void ExecuteSave(TSavePlan& plan, TSaveHistory* history = nullptr);
    // Both steps; false when an answer was Cancel.
    bool SaveToRegistry(const TSaveQuestion& ask = {});
    // What each value held when the tree last met the registry (the load,
    // or what the last save wrote), by the stored spelling: the review of a
    // save compares with it. Empty for a tree that is not loaded.
    struct TLoadedEntry {
        std::u16string name;
        platform::RegValue raw;
        std::u16string text;
    };
    std::vector<TLoadedEntry> LoadedValues() const;
    // Whether the last save found values that another program had changed:
    // the tree then no longer shows the scope as it is.
    bool LastSaveMetOutsideChange() const { return fSaveMetOutsideChange; }

    // Expanded variables, the focused node and the selection, by names, so
    // that they survive a reload.
    struct TViewState {
        std::vector<std::u16string> expanded;
        std::vector<std::pair<std::u16string, int>> selected; // variable, element row or -1
        std::optional<std::pair<std::u16string, int>> focused;
    };
    TViewState GetViewState() const;
    void SetViewState(const TViewState& state);

    Scope GetScope() const { return {fRoot, fKey}; }
    platform::RootKey GetRoot() const { return fRoot; }
    const std::u16string& GetKey() const { return fKey; }
    // A user tree is any tree whose root is not HKEY_LOCAL_MACHINE.
    bool IsUserTree() const { return fRoot != platform::RootKey::LocalMachine; }

    // The special read-only variables, in the order they are added.
    static const std::vector<std::u16string>& SystemReadOnlyNames();
    static const std::vector<std::u16string>& UserReadOnlyNames();
    // Adds the read-only variables of this tree's kind (system or user list)
    // from the running process's environment; an empty value adds nothing.
    void AddReadOnlyVariables();

    // --- structure -----------------------------------------------------------

    size_t VariableCount() const { return fRootNode.fChildren.size(); }
    TENode* Variable(size_t row) const { return fRootNode.fChildren[row].get(); }
    // Every variable, in tree (name) order.
    std::vector<TENode*> Variables() const;
    TENode* GetFirstNode() const { return VariableCount() ? Variable(0) : nullptr; }
    // Next node in pre-order over both levels, or nullptr.
    TENode* GetNextNode(const TENode* node) const;
    // First top-level node that is not hidden, or nullptr.
    TENode* GetFirstVisible() const;
    // Total number of nodes of both levels.
    size_t NodeCount() const;

    // --- content operations (not undoable; edit/ETreeEditing pushes first) ---

    // Adds a variable in name order with its elements (split unless the
    // exclusion list says not to), focuses and selects it, and returns it.
    // Does not check whether the name exists.
    TENode* AddVariable(const std::u16string& name, const std::u16string& value, uint8_t datatype, bool readOnly);
    // Replaces all element children of `node`'s variable by the elements of
    // `value`, by the same split rule. An unchanged element list is kept as
    // it is (no notifications, flags and focus kept).
    void SetVariableValue(TENode* node, const std::u16string& value);
    // Renames a variable and moves it to its place in name order.
    void SetVariableName(TENode* variable, const std::u16string& name);
    void SetVariableType(TENode* variable, uint8_t datatype);
    void SetElementText(TENode* element, const std::u16string& text);
    // Inserts an element at `row` (clamped to the end) of `variable`.
    TENode* InsertElement(TENode* variable, size_t row, const std::u16string& text);
    // Moves an element to `row` of `variable` (row counted after taking the
    // element out; clamped to the end).
    void MoveElement(TENode* element, TENode* variable, size_t row);
    // Removes a node with its children. A removed focused node leaves no
    // focused node; removed nodes leave the selection.
    void DeleteNode(TENode* node);
    // Removes every node.
    void Clear();
    // Re-splits one variable by the current exclusion list, keeping its
    // expanded state (used after exclusion changes and renames).
    void ResplitVariable(TENode* variable);

    void SetExpanded(TENode* variable, bool expanded);

    // Hides (false) or shows every read-only variable; then, when no node is
    // focused or the focused node is hidden, activates the first visible
    // variable. New read-only variables follow the last setting.
    void ShowReadOnly(bool isShow);
    bool IsShowingReadOnly() const { return fShowReadOnly; }

    // --- focus and selection -------------------------------------------------

    TENode* GetFocusedNode() const { return fFocused; }
    void SetFocusedNode(TENode* node);
    bool IsSelected(const TENode* node) const;
    // Selected nodes in tree order.
    std::vector<TENode*> GetSelectedNodes() const;
    // Several nodes may be selected, all of one group: variables, or the
    // elements of one variable, so that one command never reaches across
    // levels. The focused node names the group (the first selected node
    // without a focus); hidden nodes are never selected.
    static bool SameSelectionGroup(const TENode* a, const TENode* b);
    // Adds `node` to the selection when it is of the group; a node of
    // another group replaces the whole selection.
    void SetSelected(TENode* node, bool selected);
    // Replaces the selection by the nodes of `nodes` that are of the
    // focused node's group (a view's Shift and Ctrl selection).
    void SetSelection(const std::vector<TENode*>& nodes);
    void ClearSelection();
    // Focus `node` and make it the only selected node.
    void ActivateNode(TENode* node);

    // Pre-order position of the focused node over all nodes (shown or hidden,
    // collapsed or expanded), the first node being 0; 0 without focus.
    uint32_t GetFocusPosition() const;
    // Activates the node `position` steps after the first node in pre-order
    // (the last node when the tree has fewer); nothing in an empty tree.
    void ActivateNodeAtPosition(uint32_t position);

    // --- node stream ---------------------------------------------------------

    // The whole content: every variable with all its elements, each node's
    // data in the node-data records, with the expanded state.
    std::vector<uint8_t> SaveToStream() const;
    // Replaces the content by a stream of SaveToStream. A damaged stream
    // raises TError and leaves the tree unchanged.
    void LoadFromStream(const std::vector<uint8_t>& stream);
    // One node (a variable with its elements, or one element), for the
    // clipboard and drag and drop.
    std::vector<uint8_t> WriteNode(const TENode* node) const;
    // Inserts what WriteNode wrote. The receiving level decides which record
    // is read: with `variable` nullptr a variable is added in name order,
    // otherwise an element is inserted at `row` of `variable`. Returns the
    // new node; a damaged stream raises TError and changes nothing.
    TENode* InsertFromStream(const std::vector<uint8_t>& stream, TENode* variable, size_t row);

    // --- queries -------------------------------------------------------------

    bool IsVariable(const TENode* node) const { return node && node->IsVariable(); }
    // The node itself for a variable, its parent for an element.
    TENode* GetVariableNode(const TENode* node) const;
    // These take any node and answer for its variable.
    const std::u16string& GetVariableName(const TENode* node) const;
    uint8_t GetVariableType(const TENode* node) const;
    bool GetVariableReadOnly(const TENode* node) const;
    // An element's text (empty for a variable).
    const std::u16string& GetElement(const TENode* node) const;
    // The raw value: the element texts joined with ';'.
    std::u16string GetVariableValue(const TENode* node) const;
    // NAME=value for a variable (the name alone while IsStartEditing), the
    // text for an element.
    std::u16string GetNodeAsText(const TENode* node) const;
    // 2 read-only, else 0 string, 1 expandable: for the node's variable.
    int GetImage(const TENode* node) const;
    // Whether the exclusion list lets the variable of this name be split
    // into elements (otherwise its value is held whole).
    bool SplitFor(const std::u16string& name) const;
    // Whether a variable of this name exists (locale, case-insensitive).
    bool IsExist(const std::u16string& variable) const;
    // "%NAME%" of every variable, in tree order, whose "%NAME%" starts with
    // `start` (ASCII letters folded); all of them for an empty start.
    std::vector<std::u16string> GetVariablesStartedWith(const std::u16string& start) const;
    // First variable in tree order with this name (locale, case-insensitive).
    TENode* FindVariable(const std::u16string& name) const;
    // That variable's raw value, or empty.
    std::u16string GetValueByName(const std::u16string& name) const;

    // Whether the node may be edited: the tree is editable and the node's
    // variable is not read-only. The edit operations' own rules build on it.
    bool IsWritable(const TENode* node) const;
    // Incremental search: name or text starts with `typed` (ASCII folded).
    bool MatchesIncrementalSearch(const TENode* node, const std::u16string& typed) const;
    // Find's test of one node: its name (variable) or text (element)
    // contains `text`, or is all of it with `wholeElement`; without regard
    // to case under the user's locale unless `matchCase`.
    struct TFindOptions {
        bool matchCase = false;
        bool wholeElement = false;
    };
    bool MatchesFindText(const TENode* node, const std::u16string& text, const TFindOptions& options) const;
    // The node before `node` in walking order; the last node for nullptr.
    TENode* GetPreviousNode(const TENode* node) const;

    // --- expansion and validation --------------------------------------------

    // Expands %NAME% references against this tree, then its resolving tree;
    // nothing when it still changes after the last pass or grows too long,
    // and then `failure` (when given) says which of the two it was.
    std::optional<std::u16string> ExpandReferences(const std::u16string& text, int depth = 0,
                                                   TExpansionFailure* failure = nullptr) const;
    // Whether and why the expanded form of an element cannot be had
    // (None for a string variable).
    TExpansionFailure GetElementExFailure(const TENode* node) const;
    // The (translated) text that stands for a failed expansion.
    static std::u16string ExpansionFailureText(TExpansionFailure failure);
    // The element's text, expanded for an expandable variable; the failure
    // text when expansion fails.
    std::u16string GetElementEx(const TENode* node) const;
    // The same for the variable's whole raw value.
    std::u16string GetVariableValueEx(const TENode* node) const;
    // Recomputes every wrongPath flag; only changed flags are notified.
    void Verify();
    bool IsValid(const TENode* node) const;
    std::vector<std::u16string> GetNodeErrors(const TENode* node) const;
    std::vector<std::u16string> GetNodeWarnings(const TENode* node) const;
    // The node hint built from the two lists; empty when both are.
    std::u16string GetNodeHint(const TENode* node) const;
    // Marks drawn over a variable's image (false for elements).
    bool HasErrorMark(const TENode* node) const;
    bool HasExclusionMark(const TENode* node) const;

private:
    struct TDetached {
        bool focusLost = false;
        bool selectionChanged = false;
    };

    void Notify(const std::function<void(IETreeObserver&)>& call);
    bool CheckFor(const std::u16string& name) const;
    std::vector<std::u16string> ElementsFor(const std::u16string& name, const std::u16string& value) const;
    size_t SortedRowFor(const std::u16string& name) const;
    std::unique_ptr<TENode> NewVariable(const std::u16string& name, uint8_t datatype, bool readOnly) const;
    std::unique_ptr<TENode> NewElement(TENode* variable, std::u16string text) const;
    TENode* InsertVariable(std::unique_ptr<TENode> variable);
    TENode* InsertElementNode(TENode* variable, size_t row, std::unique_ptr<TENode> element);
    void MoveVariableTo(TENode* variable, size_t row);
    void Renumber(TENode* parent, size_t from);
    void IndexAdd(TENode* variable);
    void IndexRemove(TENode* variable);
    TDetached Detach(const TENode* node);
    void Announce(const TDetached& detached);
    void ReplaceContent(std::vector<std::unique_ptr<TENode>> variables);
    void OnExclusionsChanged();
    void WriteChunk(TNodeStreamWriter& writer, const TENode* node) const;
    std::unique_ptr<TENode> ReadVariableChunk(TNodeStreamReader& reader) const;
    std::unique_ptr<TENode> ReadElementChunk(TNodeStreamReader& reader, TENode* parent) const;
    void StoreFlag(TENode* node, bool wrong);
    // Existence answers of one Verify pass, by exact path text.
    using TProbeCache = std::unordered_map<std::u16string, bool>;
    // The folders of the resolving tree's Path, compared without case and
    // trailing backslash.
    using TFolderSet = std::unordered_set<std::u16string>;
    void VerifyVariable(TENode* variable, TProbeCache& probes, const TFolderSet& systemPath);
    TFolderSet SystemPathFolders() const;
    std::u16string FolderKey(const std::u16string& folder) const;
    void StoreInSystemPath(TENode* node, bool inSystemPath);
    void StoreLiteralReference(TENode* node, bool literal);
    void VerifyLiteralReferences(TENode* variable);
    std::vector<std::u16string> LiteralNames(const std::u16string& text, bool afterSystem) const;
    // The %NAME% references of `node`'s own text that stay as written: of
    // a system value, to a variable defined after the system scope
    // (`afterSystem`); of a text string, to a variable that exists.
    std::vector<std::u16string> LiteralReferences(const TENode* node, bool afterSystem) const;
    bool IsKnownName(const std::u16string& name) const;
    // Another expandable value of this scope that `node`'s value refers to:
    // Windows sets them in one step, so which value it sees is not defined.
    std::vector<std::u16string> SameStepReferences(const TENode* node) const;
    // Whether the references of `text`, followed through the variables'
    // values, come back to a variable already on the way.
    bool ReachesReferenceLoop(const std::u16string& text) const;
    // The variable a reference names: this tree first, then the resolving one.
    std::pair<const TETree*, const TENode*> LookUpReference(const std::u16string& name) const;
    TENode* Parentless(TENode* parent) const { return parent == &fRootNode ? nullptr : parent; }

    platform::IPlatform& fPlatform;
    IPushInterface* fUndoStack;
    TExclusions* fExclusions = nullptr;
    std::shared_ptr<int> fAlive; // lets the exclusion list skip this tree's handler once it is gone
    TETree* fResolvingTree = nullptr;
    const TETree* fLaterScope = nullptr;
    platform::RootKey fRoot = platform::RootKey::CurrentUser;
    std::u16string fKey;
    bool fEditable = true;
    bool fStartEditing = false;
    bool fOnEdited = true;
    bool fShowReadOnly = true;

    mutable TENode fRootNode; // invisible parent of the variables
    TENode* fFocused = nullptr;
    std::vector<TENode*> fSelected;
    // Variables by ILocale::foldCase of their name; confirmed by compareNoCase.
    std::unordered_multimap<std::u16string, TENode*> fIndex;
    std::vector<IETreeObserver*> fObservers;
    // What each variable held in the registry at the load (or was written
    // by the last save): a save writes and deletes only what differs.
    std::shared_ptr<TRegistryBaseline> fBaseline;
    std::unique_ptr<platform::IKeyWatch> fWatch;
    bool fLoaded = false;
    bool fSaveMetOutsideChange = false;
};

// Where a search over both trees stopped: the node it activated, in which
// tree, and whether it came round the ends of the walk for it.
struct TFindHit {
    TETree* tree = nullptr;
    TENode* node = nullptr;
    bool wrapped = false;
};
using TNodeMatch = std::function<bool(const TETree&, const TENode*)>;
// Walks `first` from its focused node on (past it unless `includeFocused`;
// from its top without a focused node), then all of `second`, then `first`
// from its top round to where the walk began; backwards the same way unless
// `forward`. The trees read as one list, the upper one first: going on past
// the lower tree's end (or before the upper one's top) is coming round.
// The first node that `matches` is activated in its tree.
TFindHit FindInTrees(TETree& first, TETree* second, bool firstIsUpper, bool forward, bool includeFocused,
                     const TNodeMatch& matches);

} // namespace talvoren
