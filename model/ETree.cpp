#include "model/ETree.h"

#include "base/Error.h"
#include "base/Text.h"
#include "base/Translation.h"
#include "model/PushInterface.h"
#include "settings/Exclusions.h"

#include <algorithm>

namespace talvoren {

using platform::RootKey;

namespace {
// Framing of the tree's node stream around the node-data records: a header,
// then per node its child count, its record and (variables) its expanded
// state, then its children. The child count comes first so that a variable
// read where an element is expected is refused instead of misread.
constexpr uint32_t kStreamMagic = 0x54564C54; // "TLVT"
constexpr uint32_t kStreamVersion = 1;

const std::u16string kEmpty;

[[noreturn]] void damaged()
{
    throw TError(tr("The node data is damaged or incomplete"));
}

void writeHeader(TNodeStreamWriter& writer, uint32_t count)
{
    writer.WriteUInt32(kStreamMagic);
    writer.WriteUInt32(kStreamVersion);
    writer.WriteUInt32(count);
}

uint32_t readHeader(TNodeStreamReader& reader)
{
    if (reader.ReadUInt32() != kStreamMagic || reader.ReadUInt32() != kStreamVersion) {
        damaged();
    }
    return reader.ReadUInt32();
}

} // namespace

// ---------------------------------------------------------------------------

TENode::TENode(TENode* parent, std::unique_ptr<TNodeData> data)
    : fParent(parent)
    , fData(std::move(data))
{
}

size_t TENode::ValueLength() const
{
    size_t length = 0;
    for (const auto& child : fChildren) {
        length += child->ElemData()->GetElement().size();
    }
    return fChildren.empty() ? 0 : length + fChildren.size() - 1;
}

TENode::~TENode() = default;

const TVarData* TENode::VarData() const
{
    return IsVariable() ? static_cast<const TVarData*>(fData.get()) : nullptr;
}

const TElemData* TENode::ElemData() const
{
    return fData && !IsVariable() ? static_cast<const TElemData*>(fData.get()) : nullptr;
}

// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------
// Focus and selection

void TETree::SetFocusedNode(TENode* node)
{
    if (fFocused == node) {
        return;
    }
    fFocused = node;
    Notify([&](IETreeObserver& o) { o.FocusChanged(node); });
}

bool TETree::IsSelected(const TENode* node) const
{
    return std::find(fSelected.begin(), fSelected.end(), node) != fSelected.end();
}

std::vector<TENode*> TETree::GetSelectedNodes() const
{
    std::vector<TENode*> out = fSelected;
    auto key = [](const TENode* n) {
        return n->IsVariable() ? std::pair(n->Row(), size_t{0}) : std::pair(n->fParent->Row(), n->Row() + 1);
    };
    std::sort(out.begin(), out.end(), [&](const TENode* a, const TENode* b) { return key(a) < key(b); });
    return out;
}

void TETree::SetSelected(TENode* node, bool selected)
{
    if (!node || IsSelected(node) == selected) {
        return;
    }
    if (selected) {
        // At most one node is selected: the one that Delete asks about.
        fSelected.assign(1, node);
    } else {
        fSelected.erase(std::find(fSelected.begin(), fSelected.end(), node));
    }
    Notify([](IETreeObserver& o) { o.SelectionChanged(); });
}

void TETree::ClearSelection()
{
    if (fSelected.empty()) {
        return;
    }
    fSelected.clear();
    Notify([](IETreeObserver& o) { o.SelectionChanged(); });
}

void TETree::ActivateNode(TENode* node)
{
    SetFocusedNode(node);
    const bool onlyThis = node ? (fSelected.size() == 1 && fSelected.front() == node) : fSelected.empty();
    if (!onlyThis) {
        fSelected.clear();
        if (node) {
            fSelected.push_back(node);
        }
        Notify([](IETreeObserver& o) { o.SelectionChanged(); });
    }
}

uint32_t TETree::GetFocusPosition() const
{
    if (!fFocused) {
        return 0;
    }
    const TENode* variable = GetVariableNode(fFocused);
    size_t position = 0;
    for (size_t i = 0; i < variable->Row(); ++i) {
        position += 1 + Variable(i)->ChildCount();
    }
    if (!fFocused->IsVariable()) {
        position += 1 + fFocused->Row();
    }
    return static_cast<uint32_t>(position);
}

void TETree::ActivateNodeAtPosition(uint32_t position)
{
    TENode* node = GetFirstNode();
    if (!node) {
        return;
    }
    // By whole variables first, so a far position costs one step per variable.
    size_t remaining = position;
    while (node->Row() + 1 < VariableCount() && remaining >= 1 + node->ChildCount()) {
        remaining -= 1 + node->ChildCount();
        node = Variable(node->Row() + 1);
    }
    if (remaining > 0) {
        node = node->ChildCount() ? node->Child(std::min(remaining - 1, node->ChildCount() - 1)) : node;
    }
    ActivateNode(node);
}

// ---------------------------------------------------------------------------
// Node stream

void TETree::WriteChunk(TNodeStreamWriter& writer, const TENode* node) const
{
    writer.WriteUInt32(static_cast<uint32_t>(node->ChildCount()));
    if (node->IsVariable()) {
        writer.WriteVariable(*node->VarData());
        writer.WriteByte(node->fExpanded ? 1 : 0);
        for (const auto& child : node->fChildren) {
            WriteChunk(writer, child.get());
        }
    } else {
        writer.WriteElement(*node->ElemData());
    }
}

std::unique_ptr<TENode> TETree::ReadVariableChunk(TNodeStreamReader& reader) const
{
    const uint32_t children = reader.ReadUInt32();
    TVarData data = reader.ReadVariable();
    const uint8_t expanded = reader.ReadByte();
    if (expanded > 1) {
        damaged();
    }
    auto variable = std::unique_ptr<TENode>(new TENode(&fRootNode, std::make_unique<TVarData>(std::move(data))));
    variable->fExpanded = expanded != 0;
    for (uint32_t i = 0; i < children; ++i) {
        variable->fChildren.push_back(ReadElementChunk(reader, variable.get()));
    }
    return variable;
}

std::unique_ptr<TENode> TETree::ReadElementChunk(TNodeStreamReader& reader, TENode* parent) const
{
    if (reader.ReadUInt32() != 0) {
        damaged(); // elements have no children: a variable's record
    }
    return std::unique_ptr<TENode>(new TENode(parent, std::make_unique<TElemData>(reader.ReadElement())));
}

std::vector<uint8_t> TETree::SaveToStream() const
{
    TNodeStreamWriter writer;
    writeHeader(writer, static_cast<uint32_t>(VariableCount()));
    for (const auto& variable : fRootNode.fChildren) {
        WriteChunk(writer, variable.get());
    }
    return writer.take();
}

void TETree::LoadFromStream(const std::vector<uint8_t>& stream)
{
    TNodeStreamReader reader(stream);
    const uint32_t count = readHeader(reader);
    std::vector<std::unique_ptr<TENode>> variables;
    for (uint32_t i = 0; i < count; ++i) {
        variables.push_back(ReadVariableChunk(reader));
    }
    if (!reader.AtEnd()) {
        damaged();
    }
    ReplaceContent(std::move(variables));
}

std::vector<uint8_t> TETree::WriteNode(const TENode* node) const
{
    TNodeStreamWriter writer;
    writeHeader(writer, 1);
    WriteChunk(writer, node);
    return writer.take();
}

TENode* TETree::InsertFromStream(const std::vector<uint8_t>& stream, TENode* variable, size_t row)
{
    TNodeStreamReader reader(stream);
    if (readHeader(reader) != 1) {
        damaged();
    }
    if (!variable) {
        auto node = ReadVariableChunk(reader);
        if (!reader.AtEnd()) {
            damaged();
        }
        Renumber(node.get(), 0);
        return InsertVariable(std::move(node));
    }
    TENode* target = GetVariableNode(variable);
    auto element = ReadElementChunk(reader, target);
    if (!reader.AtEnd()) {
        damaged();
    }
    return InsertElementNode(target, row, std::move(element));
}

// ---------------------------------------------------------------------------
// Queries

TENode* TETree::GetVariableNode(const TENode* node) const
{
    if (!node || !node->fParent) {
        return nullptr;
    }
    return const_cast<TENode*>(node->IsVariable() ? node : node->fParent);
}

const std::u16string& TETree::GetVariableName(const TENode* node) const
{
    const TENode* variable = GetVariableNode(node);
    return variable ? variable->VarData()->GetVariableName() : kEmpty;
}

uint8_t TETree::GetVariableType(const TENode* node) const
{
    const TENode* variable = GetVariableNode(node);
    return variable ? variable->VarData()->GetDataType() : uint8_t{kDataTypeString};
}

bool TETree::GetVariableReadOnly(const TENode* node) const
{
    const TENode* variable = GetVariableNode(node);
    return variable && variable->VarData()->GetReadOnly();
}

const std::u16string& TETree::GetElement(const TENode* node) const
{
    const TElemData* data = node ? node->ElemData() : nullptr;
    return data ? data->GetElement() : kEmpty;
}

std::u16string TETree::GetVariableValue(const TENode* node) const
{
    const TENode* variable = GetVariableNode(node);
    if (!variable) {
        return {};
    }
    std::u16string value;
    value.reserve(variable->ValueLength());
    for (size_t i = 0; i < variable->ChildCount(); ++i) {
        if (i > 0) {
            value += u';';
        }
        value += variable->Child(i)->ElemData()->GetElement();
    }
    return value;
}

std::u16string TETree::GetNodeAsText(const TENode* node) const
{
    if (!node) {
        return {};
    }
    if (node->IsVariable()) {
        if (fStartEditing) {
            return GetVariableName(node);
        }
        return GetVariableName(node) + u"=" + GetVariableValue(node);
    }
    return GetElement(node);
}

int TETree::GetImage(const TENode* node) const
{
    const TENode* variable = GetVariableNode(node);
    if (!variable) {
        return kImageNone;
    }
    if (variable->VarData()->GetReadOnly()) {
        return kImageReadOnly;
    }
    return variable->VarData()->GetDataType() == kDataTypeString ? kImageString : kImageExpandable;
}

TENode* TETree::FindVariable(const std::u16string& name) const
{
    auto& locale = fPlatform.locale();
    auto [first, last] = fIndex.equal_range(locale.foldCase(name));
    TENode* best = nullptr;
    for (auto it = first; it != last; ++it) {
        TENode* candidate = it->second;
        if ((!best || candidate->Row() < best->Row())
            && locale.compareNoCase(candidate->VarData()->GetVariableName(), name) == 0) {
            best = candidate;
        }
    }
    return best;
}

bool TETree::IsExist(const std::u16string& variable) const
{
    return FindVariable(variable) != nullptr;
}

std::u16string TETree::GetValueByName(const std::u16string& name) const
{
    const TENode* variable = FindVariable(name);
    return variable ? GetVariableValue(variable) : std::u16string();
}

std::vector<std::u16string> TETree::GetVariablesStartedWith(const std::u16string& start) const
{
    const std::u16string prefix = asciiUpper(start);
    std::vector<std::u16string> out;
    for (const auto& variable : fRootNode.fChildren) {
        std::u16string reference = u"%" + variable->VarData()->GetVariableName() + u"%";
        if (asciiUpper(reference).starts_with(prefix)) {
            out.push_back(std::move(reference));
        }
    }
    return out;
}

bool TETree::IsWritable(const TENode* node) const
{
    return fEditable && GetVariableNode(node) && !GetVariableReadOnly(node);
}

bool TETree::MatchesIncrementalSearch(const TENode* node, const std::u16string& typed) const
{
    if (!node) {
        return false;
    }
    const std::u16string& text = node->IsVariable() ? GetVariableName(node) : GetElement(node);
    return asciiUpper(text).starts_with(asciiUpper(typed));
}

} // namespace talvoren
