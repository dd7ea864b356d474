#include "model/ENode.h"

namespace talvoren {

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

} // namespace talvoren
