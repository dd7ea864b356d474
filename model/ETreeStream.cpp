// The node stream: the whole tree (undo steps) or one node (clipboard,
// drag and drop) around the node-data records.

#include "base/Error.h"
#include "base/Translation.h"
#include "model/ETree.h"

namespace talvoren {

namespace {
// Framing of the tree's node stream around the node-data records: a header,
// then per node its child count, its record and (variables) its expanded
// state, then its children. The child count comes first so that a variable
// read where an element is expected is refused instead of misread.
constexpr uint32_t kStreamMagic = 0x54564C54; // "TLVT"
constexpr uint32_t kStreamVersion = 1;

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

} // namespace talvoren
