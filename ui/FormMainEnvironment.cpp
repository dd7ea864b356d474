// What a new process gets: the window's side of the Effective tab.

#include "model/ETree.h"
#include "ui/ETreeView.h"
#include "ui/FormMain.h"

namespace talvoren {

void TfrmMain::ShowNode(bool userTree, const std::u16string& variable, int elementRow)
{
    TETree& tree = userTree ? *UserVarTree : *SysVarTree;
    TETreeView* view = userTree ? fUserView : fSysView;
    TENode* node = tree.FindVariable(variable);
    if (!node) {
        return;
    }
    if (elementRow >= 0 && static_cast<size_t>(elementRow) < node->ChildCount()) {
        tree.SetExpanded(node, true);
        node = node->Child(elementRow);
    }
    tree.ActivateNode(node);
    ActivateTree(view);
    view->setFocus(Qt::OtherFocusReason);
}

} // namespace talvoren
