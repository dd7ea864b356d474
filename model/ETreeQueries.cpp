// Read-only questions about nodes: names, values, texts, images, lookup.

#include "base/Text.h"
#include "model/ETree.h"

namespace talvoren {

namespace {
const std::u16string kEmpty;
} // namespace

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
