#include "ui/NodeMime.h"

#include "model/ETree.h"
#include "ui/UiText.h"

#include <QMimeData>

namespace talvoren {

QString variableClipboardFormat()
{
    return QStringLiteral("VariableClipboard");
}

QString nodeStreamFormat()
{
    return QStringLiteral("Virtual Tree Data");
}

QMimeData* clipboardDataFor(const TETree& tree, const TENode* node)
{
    auto* data = new QMimeData;
    if (!node) {
        return data;
    }
    if (node->IsVariable()) {
        const TVariableRecord record{tree.GetVariableName(node), tree.GetVariableValue(node),
                                     tree.GetVariableType(node)};
        if (auto bytes = EncodeVariableRecord(record)) {
            data->setData(variableClipboardFormat(),
                          QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size())));
        }
        data->setText(toQ(record.name + u"=" + record.value));
    } else {
        data->setText(toQ(tree.GetElement(node)));
    }
    return data;
}

QMimeData* clipboardDataFor(const TETree& tree, const std::vector<TENode*>& nodes)
{
    if (nodes.size() == 1) {
        return clipboardDataFor(tree, nodes.front());
    }
    std::u16string text;
    for (const TENode* node : nodes) {
        text += node == nodes.front() ? u"" : u"\r\n";
        text += node->IsVariable() ? tree.GetVariableName(node) + u"=" + tree.GetVariableValue(node)
                                   : tree.GetElement(node);
    }
    auto* data = new QMimeData;
    data->setText(toQ(text));
    return data;
}

QMimeData* dragDataFor(const TETree& tree, const TENode* node)
{
    auto* data = new QMimeData;
    const std::vector<uint8_t> stream = tree.WriteNode(node);
    data->setData(nodeStreamFormat(),
                  QByteArray(reinterpret_cast<const char*>(stream.data()), qsizetype(stream.size())));
    const std::u16string text
        = node->IsVariable() ? tree.GetVariableName(node) + u"=" + tree.GetVariableValue(node) : tree.GetElement(node);
    data->setText(toQ(text));
    return data;
}

std::optional<TVariableRecord> variableRecordOf(const QMimeData* data)
{
    if (!data || !data->hasFormat(variableClipboardFormat())) {
        return std::nullopt;
    }
    const QByteArray bytes = data->data(variableClipboardFormat());
    return DecodeVariableRecord(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

} // namespace talvoren
