#pragma once

// What the trees put on the clipboard and into a drag: the variable record
// of Talvoren's own clipboard format beside plain text, and the tree's node
// stream for drags between the two trees.

#include "edit/VariableClipboard.h"

#include <QString>
#include <optional>
#include <vector>

class QMimeData;

namespace talvoren {

class TETree;
class TENode;

// The clipboard format of the variable record, as Qt names it.
QString variableClipboardFormat();
// The drag format of the trees' node stream.
QString nodeStreamFormat();

// Copy: for a variable its record (when it fits, see EncodeVariableRecord)
// and "NAME=value"; for an element its text.
QMimeData* clipboardDataFor(const TETree& tree, const TENode* node);
// Several nodes: one line each, as for one node (no record: it holds one
// variable), so that a paste gives them back one by one.
QMimeData* clipboardDataFor(const TETree& tree, const std::vector<TENode*>& nodes);
// The dragged node's stream, then its display text.
QMimeData* dragDataFor(const TETree& tree, const TENode* node);

// The variable record on `data`, if it holds a readable one.
std::optional<TVariableRecord> variableRecordOf(const QMimeData* data);

} // namespace talvoren
