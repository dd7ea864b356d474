// The tree's structure: wiring to observers and the exclusion list, the
// variables and elements, and the content operations every edit is built from.

#include "model/ETree.h"

#include "base/Text.h"
#include "model/PushInterface.h"
#include "settings/Exclusions.h"

#include <algorithm>

namespace talvoren {

TETree::TETree(platform::IPlatform& platform, IPushInterface* undo)
    : fPlatform(platform)
    , fUndoStack(undo)
    , fAlive(std::make_shared<int>(0))
    , fRootNode(nullptr, nullptr)
{
}

TETree::~TETree() = default;

void TETree::AddObserver(IETreeObserver* observer)
{
    if (observer && std::find(fObservers.begin(), fObservers.end(), observer) == fObservers.end()) {
        fObservers.push_back(observer);
    }
}

void TETree::RemoveObserver(IETreeObserver* observer)
{
    fObservers.erase(std::remove(fObservers.begin(), fObservers.end(), observer), fObservers.end());
}

void TETree::Notify(const std::function<void(IETreeObserver&)>& call)
{
    // A copy: an observer may detach itself while it is told.
    const auto observers = fObservers;
    for (auto* observer : observers) {
        call(*observer);
    }
}

void TETree::SetExclusions(TExclusions* list)
{
    fExclusions = list;
    if (list) {
        list->AddOnChange(
            [this, list] {
                if (fExclusions == list) {
                    OnExclusionsChanged();
                }
            },
            fAlive);
    }
}

void TETree::undo()
{
    if (fUndoStack) {
        fUndoStack->Undo();
    }
}

void TETree::FinishEditing()
{
    Notify([](IETreeObserver& o) { o.FinishEditing(); });
}

void TETree::OpenEditor(TENode* node)
{
    Notify([&](IETreeObserver& o) { o.EditNode(node); });
}

void TETree::RepaintElements(TENode* variable)
{
    Notify([&](IETreeObserver& o) {
        for (const auto& element : variable->fChildren) {
            o.NodeChanged(element.get());
        }
    });
}

bool TETree::SplitFor(const std::u16string& name) const
{
    return !fExclusions || fExclusions->isSplit(name);
}

bool TETree::CheckFor(const std::u16string& name) const
{
    return !fExclusions || fExclusions->isCheck(name);
}

std::vector<std::u16string> TETree::ElementsFor(const std::u16string& name, const std::u16string& value) const
{
    if (SplitFor(name)) {
        return SplitValue(value);
    }
    return {value};
}

// ---------------------------------------------------------------------------
// Structure

std::vector<TENode*> TETree::Variables() const
{
    std::vector<TENode*> out;
    out.reserve(VariableCount());
    for (const auto& variable : fRootNode.fChildren) {
        out.push_back(variable.get());
    }
    return out;
}

TENode* TETree::GetNextNode(const TENode* node) const
{
    if (!node) {
        return nullptr;
    }
    if (node->IsVariable()) {
        if (node->ChildCount() > 0) {
            return node->Child(0);
        }
        return node->Row() + 1 < VariableCount() ? Variable(node->Row() + 1) : nullptr;
    }
    const TENode* variable = node->fParent;
    if (node->Row() + 1 < variable->ChildCount()) {
        return variable->Child(node->Row() + 1);
    }
    return variable->Row() + 1 < VariableCount() ? Variable(variable->Row() + 1) : nullptr;
}

TENode* TETree::GetFirstVisible() const
{
    for (const auto& variable : fRootNode.fChildren) {
        if (!variable->fHidden) {
            return variable.get();
        }
    }
    return nullptr;
}

size_t TETree::NodeCount() const
{
    size_t count = VariableCount();
    for (const auto& variable : fRootNode.fChildren) {
        count += variable->ChildCount();
    }
    return count;
}

void TETree::Renumber(TENode* parent, size_t from)
{
    for (size_t i = from; i < parent->fChildren.size(); ++i) {
        parent->fChildren[i]->fRow = i;
    }
}

size_t TETree::SortedRowFor(const std::u16string& name) const
{
    // After every variable that compares equal, so equal names keep the order
    // in which they came.
    const auto& vars = fRootNode.fChildren;
    auto it = std::upper_bound(vars.begin(), vars.end(), name, [](const std::u16string& n, const auto& node) {
        return compareAsciiNoCase(n, node->VarData()->GetVariableName()) < 0;
    });
    return static_cast<size_t>(it - vars.begin());
}

void TETree::IndexAdd(TENode* variable)
{
    fIndex.emplace(fPlatform.locale().foldCase(variable->VarData()->GetVariableName()), variable);
}

void TETree::IndexRemove(TENode* variable)
{
    auto [first, last] = fIndex.equal_range(fPlatform.locale().foldCase(variable->VarData()->GetVariableName()));
    for (auto it = first; it != last; ++it) {
        if (it->second == variable) {
            fIndex.erase(it);
            return;
        }
    }
}

std::unique_ptr<TENode> TETree::NewVariable(const std::u16string& name, uint8_t datatype, bool readOnly) const
{
    return std::unique_ptr<TENode>(new TENode(&fRootNode, std::make_unique<TVarData>(name, datatype, readOnly)));
}

std::unique_ptr<TENode> TETree::NewElement(TENode* variable, std::u16string text) const
{
    return std::unique_ptr<TENode>(new TENode(variable, std::make_unique<TElemData>(std::move(text))));
}

TENode* TETree::InsertVariable(std::unique_ptr<TENode> variable)
{
    const size_t row = SortedRowFor(variable->VarData()->GetVariableName());
    variable->fParent = &fRootNode;
    variable->fHidden = variable->VarData()->GetReadOnly() && !fShowReadOnly;
    Notify([&](IETreeObserver& o) { o.BeforeInsert(nullptr, row, row); });
    TENode* node = variable.get();
    fRootNode.fChildren.insert(fRootNode.fChildren.begin() + static_cast<std::ptrdiff_t>(row), std::move(variable));
    Renumber(&fRootNode, row);
    IndexAdd(node);
    Notify([&](IETreeObserver& o) { o.AfterInsert(nullptr, row, row); });
    return node;
}

TETree::TDetached TETree::Detach(const TENode* node)
{
    TDetached result;
    auto inside = [node](const TENode* n) {
        return n == node || (n && n->fParent == node);
    };
    if (fFocused && inside(fFocused)) {
        fFocused = nullptr;
        result.focusLost = true;
    }
    const size_t before = fSelected.size();
    fSelected.erase(std::remove_if(fSelected.begin(), fSelected.end(), inside), fSelected.end());
    result.selectionChanged = fSelected.size() != before;
    return result;
}

void TETree::Announce(const TDetached& detached)
{
    if (detached.focusLost) {
        Notify([](IETreeObserver& o) { o.FocusChanged(nullptr); });
    }
    if (detached.selectionChanged) {
        Notify([](IETreeObserver& o) { o.SelectionChanged(); });
    }
}

void TETree::ReplaceContent(std::vector<std::unique_ptr<TENode>> variables)
{
    Notify([](IETreeObserver& o) { o.BeforeReset(); });
    fFocused = nullptr;
    fSelected.clear();
    fIndex.clear();
    fRootNode.fChildren = std::move(variables);
    std::stable_sort(fRootNode.fChildren.begin(), fRootNode.fChildren.end(), [](const auto& a, const auto& b) {
        return compareAsciiNoCase(a->VarData()->GetVariableName(), b->VarData()->GetVariableName()) < 0;
    });
    Renumber(&fRootNode, 0);
    for (auto& variable : fRootNode.fChildren) {
        variable->fParent = &fRootNode;
        variable->fHidden = variable->VarData()->GetReadOnly() && !fShowReadOnly;
        for (auto& element : variable->fChildren) {
            element->fParent = variable.get();
        }
        Renumber(variable.get(), 0);
        IndexAdd(variable.get());
    }
    Notify([](IETreeObserver& o) { o.AfterReset(); });
}

void TETree::Clear()
{
    ReplaceContent({});
}

// ---------------------------------------------------------------------------
// Content operations

TENode* TETree::AddVariable(const std::u16string& name, const std::u16string& value, uint8_t datatype, bool readOnly)
{
    auto variable = NewVariable(name, datatype, readOnly);
    for (auto& text : ElementsFor(name, value)) {
        variable->fChildren.push_back(NewElement(variable.get(), std::move(text)));
    }
    Renumber(variable.get(), 0);
    TENode* node = InsertVariable(std::move(variable));
    ActivateNode(node);
    return node;
}

void TETree::SetVariableValue(TENode* node, const std::u16string& value)
{
    TENode* variable = GetVariableNode(node);
    if (!variable) {
        return;
    }
    std::vector<std::u16string> elements = ElementsFor(variable->VarData()->GetVariableName(), value);
    const bool same = elements.size() == variable->ChildCount()
        && std::equal(elements.begin(), elements.end(), variable->fChildren.begin(),
                      [](const std::u16string& text, const auto& child) {
                          return text == child->ElemData()->GetElement();
                      });
    if (same) {
        return;
    }
    TDetached detached;
    if (variable->ChildCount() > 0) {
        const size_t last = variable->ChildCount() - 1;
        Notify([&](IETreeObserver& o) { o.BeforeRemove(variable, 0, last); });
        for (auto& child : variable->fChildren) {
            const TDetached d = Detach(child.get());
            detached.focusLost |= d.focusLost;
            detached.selectionChanged |= d.selectionChanged;
        }
        variable->fChildren.clear();
        Notify([&](IETreeObserver& o) { o.AfterRemove(variable, 0, last); });
    }
    const size_t last = elements.size() - 1;
    Notify([&](IETreeObserver& o) { o.BeforeInsert(variable, 0, last); });
    for (auto& text : elements) {
        variable->fChildren.push_back(NewElement(variable, std::move(text)));
    }
    Renumber(variable, 0);
    Notify([&](IETreeObserver& o) { o.AfterInsert(variable, 0, last); });
    Notify([&](IETreeObserver& o) { o.NodeChanged(variable); });
    Announce(detached);
}

void TETree::MoveVariableTo(TENode* variable, size_t row)
{
    // `row` counts the other variables only; Qt counts the destination before
    // the move, so one past the source when moving down.
    const size_t from = variable->Row();
    if (row == from) {
        return;
    }
    const size_t destination = row > from ? row + 1 : row;
    Notify([&](IETreeObserver& o) { o.BeforeMove(nullptr, from, nullptr, destination); });
    auto& vars = fRootNode.fChildren;
    auto owned = std::move(vars[from]);
    vars.erase(vars.begin() + static_cast<std::ptrdiff_t>(from));
    vars.insert(vars.begin() + static_cast<std::ptrdiff_t>(row), std::move(owned));
    Renumber(&fRootNode, std::min(from, row));
    Notify([&](IETreeObserver& o) { o.AfterMove(nullptr, from, nullptr, destination); });
}

void TETree::SetVariableName(TENode* variable, const std::u16string& name)
{
    if (!variable || !variable->IsVariable()) {
        return;
    }
    if (variable->VarData()->GetVariableName() == name) {
        return;
    }
    IndexRemove(variable);
    static_cast<TVarData*>(variable->fData.get())->SetVariableName(name);
    IndexAdd(variable);
    // Its place among the others, which stay sorted without it.
    const auto& vars = fRootNode.fChildren;
    const size_t from = variable->Row();
    size_t low = 0;
    size_t high = vars.size() - 1;
    while (low < high) {
        const size_t mid = (low + high) / 2;
        const size_t index = mid < from ? mid : mid + 1;
        if (compareAsciiNoCase(name, vars[index]->VarData()->GetVariableName()) < 0) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    MoveVariableTo(variable, low);
    Notify([&](IETreeObserver& o) { o.NodeChanged(variable); });
}

void TETree::SetVariableType(TENode* variable, uint8_t datatype)
{
    if (!variable || !variable->IsVariable() || variable->VarData()->GetDataType() == datatype) {
        return;
    }
    static_cast<TVarData*>(variable->fData.get())->SetDataType(datatype);
    Notify([&](IETreeObserver& o) { o.NodeChanged(variable); });
}

void TETree::SetElementText(TENode* element, const std::u16string& text)
{
    if (!element || element->IsVariable() || element->ElemData()->GetElement() == text) {
        return;
    }
    static_cast<TElemData*>(element->fData.get())->SetElement(text);
    TENode* variable = element->fParent;
    Notify([&](IETreeObserver& o) {
        o.NodeChanged(element);
        o.NodeChanged(variable);
    });
}

TENode* TETree::InsertElement(TENode* variable, size_t row, const std::u16string& text)
{
    return InsertElementNode(variable, row, NewElement(variable, text));
}

TENode* TETree::InsertElementNode(TENode* variable, size_t row, std::unique_ptr<TENode> element)
{
    row = std::min(row, variable->ChildCount());
    Notify([&](IETreeObserver& o) { o.BeforeInsert(variable, row, row); });
    element->fParent = variable;
    TENode* node = element.get();
    variable->fChildren.insert(variable->fChildren.begin() + static_cast<std::ptrdiff_t>(row), std::move(element));
    Renumber(variable, row);
    Notify([&](IETreeObserver& o) {
        o.AfterInsert(variable, row, row);
        o.NodeChanged(variable);
    });
    return node;
}

void TETree::MoveElement(TENode* element, TENode* variable, size_t row)
{
    if (!element || element->IsVariable() || !variable || !variable->IsVariable()) {
        return;
    }
    TENode* source = element->fParent;
    const size_t from = element->Row();
    size_t destination;
    if (source == variable) {
        row = std::min(row, variable->ChildCount() - 1);
        if (row == from) {
            return;
        }
        destination = row > from ? row + 1 : row;
    } else {
        row = std::min(row, variable->ChildCount());
        destination = row;
    }
    Notify([&](IETreeObserver& o) { o.BeforeMove(source, from, variable, destination); });
    auto owned = std::move(source->fChildren[from]);
    source->fChildren.erase(source->fChildren.begin() + static_cast<std::ptrdiff_t>(from));
    owned->fParent = variable;
    variable->fChildren.insert(variable->fChildren.begin() + static_cast<std::ptrdiff_t>(row), std::move(owned));
    Renumber(source, 0);
    if (variable != source) {
        Renumber(variable, 0);
    }
    Notify([&](IETreeObserver& o) {
        o.AfterMove(source, from, variable, destination);
        o.NodeChanged(source);
        if (variable != source) {
            o.NodeChanged(variable);
        }
    });
}

void TETree::DeleteNode(TENode* node)
{
    if (!node || !node->fParent) {
        return;
    }
    TENode* parent = node->fParent;
    TENode* shown = Parentless(parent);
    const size_t row = node->Row();
    const TDetached detached = Detach(node);
    Notify([&](IETreeObserver& o) { o.BeforeRemove(shown, row, row); });
    if (node->IsVariable()) {
        IndexRemove(node);
    }
    parent->fChildren.erase(parent->fChildren.begin() + static_cast<std::ptrdiff_t>(row));
    Renumber(parent, row);
    Notify([&](IETreeObserver& o) {
        o.AfterRemove(shown, row, row);
        if (shown) {
            o.NodeChanged(shown);
        }
    });
    Announce(detached);
}

void TETree::ResplitVariable(TENode* variable)
{
    if (!variable || !variable->IsVariable()) {
        return;
    }
    const bool focusInside = fFocused && fFocused->fParent == variable;
    const size_t before = variable->ChildCount();
    const TENode* firstBefore = before ? variable->Child(0) : nullptr;
    SetVariableValue(variable, GetVariableValue(variable));
    const bool rebuilt = variable->ChildCount() != before || (before && variable->Child(0) != firstBefore);
    if (focusInside && !fFocused) {
        ActivateNode(variable);
    }
    if (rebuilt && variable->fExpanded) {
        // The children were replaced; a view may have collapsed the node.
        Notify([&](IETreeObserver& o) { o.ExpansionChanged(variable); });
    }
}

void TETree::OnExclusionsChanged()
{
    for (auto* variable : Variables()) {
        ResplitVariable(variable);
    }
}

void TETree::SetExpanded(TENode* variable, bool expanded)
{
    if (!variable || !variable->IsVariable() || variable->fExpanded == expanded) {
        return;
    }
    variable->fExpanded = expanded;
    Notify([&](IETreeObserver& o) { o.ExpansionChanged(variable); });
}

void TETree::ShowReadOnly(bool isShow)
{
    fShowReadOnly = isShow;
    for (auto& variable : fRootNode.fChildren) {
        const bool hidden = !isShow && variable->VarData()->GetReadOnly();
        if (variable->fHidden != hidden) {
            variable->fHidden = hidden;
            TENode* node = variable.get();
            Notify([&](IETreeObserver& o) { o.VisibilityChanged(node); });
        }
    }
    const TENode* focusedVariable = GetVariableNode(fFocused);
    if (!focusedVariable || focusedVariable->fHidden) {
        if (TENode* first = GetFirstVisible()) {
            ActivateNode(first);
        }
    }
}

} // namespace talvoren
