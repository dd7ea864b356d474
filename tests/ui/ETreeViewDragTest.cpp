// Drag and drop between and within the two trees, below the mouse level
// (the offscreen platform cannot drag): where a node may land, where the
// drop puts it, the overwrite question, and one undo step per drop.

#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "settings/Exclusions.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"

using namespace talvoren;
using namespace talvoren::test;
using platform::RootKey;

namespace {

using U = std::vector<std::u16string>;

struct TDragWindow : TFixture {
    TfrmMain& OpenShown()
    {
        TfrmMain& w = Open();
        for (TETree* tree : {&sysVarTree(w), &userVarTree(w)}) {
            for (TENode* variable : tree->Variables()) {
                tree->SetExpanded(variable, true);
            }
        }
        return w;
    }
    // A point on `node` in `view`: its upper edge, middle or lower edge.
    QPoint At(TETreeView* view, const TENode* node, TDropPosition part)
    {
        const QRect r = view->visualRect(view->treeModel().indexOf(node));
        return part == TDropPosition::Above ? QPoint(r.center().x(), r.top() + 1)
            : part == TDropPosition::Below  ? QPoint(r.center().x(), r.bottom() - 1)
                                            : r.center();
    }
    // Starts a drag of `node` in `from` (the focused node is the dragged one).
    void Drag(TETreeView* from, TENode* node) { from->tree().ActivateNode(node); }
    U Elements(TETree& tree, const std::u16string& name)
    {
        U texts;
        TENode* variable = tree.FindVariable(name);
        for (size_t i = 0; variable && i < variable->ChildCount(); ++i) {
            texts.push_back(tree.GetElement(variable->Child(i)));
        }
        return texts;
    }
    QPoint Empty(TETreeView* view) { return QPoint(5, view->viewport()->height() - 2); }
};

} // namespace

class ETreeViewDragTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetDialogs(); }

    void variablesMoveToTheOtherTreeOnly()
    {
        TDragWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"MOVE", u"x;y");
        f.Seed(RootKey::CurrentUser, u"Environment", u"OS", u"mine");
        TfrmMain& w = f.OpenShown();
        TETreeView* user = userVarView(w);
        TETreeView* sys = sysVarView(w);
        TENode* move = userVarTree(w).FindVariable(u"MOVE");
        f.Drag(user, move);
        QVERIFY2(!user->dropTargetAt(user, f.At(user, userVarTree(w).FindVariable(u"OS"), TDropPosition::On), nullptr,
                                     nullptr),
                 "within its own tree");
        QVERIFY2(sys->dropTargetAt(user, f.Empty(sys), nullptr, nullptr), "anywhere in the other tree");

        QVERIFY(sys->dropAt(user, f.At(sys, sysVarTree(w).FindVariable(u"windir"), TDropPosition::On)));
        QCOMPARE(f.Elements(sysVarTree(w), u"MOVE"), (U{u"x", u"y"}));
        QVERIFY(!userVarTree(w).FindVariable(u"MOVE"));
        QCOMPARE(sysVarTree(w).GetFocusedNode(), sysVarTree(w).FindVariable(u"MOVE"));
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(userVarTree(w), u"MOVE"), (U{u"x", u"y"}));
        QVERIFY(!sysVarTree(w).FindVariable(u"MOVE"));

        // A clash asks; No keeps both, Yes replaces, undoably.
        TENode* os = userVarTree(w).FindVariable(u"OS");
        f.Drag(user, os);
        TfrmYesNo::setNextAnswer(mrNo);
        QVERIFY(!sys->dropAt(user, f.Empty(sys)));
        QCOMPARE(TfrmYesNo::hook().asked(),
                 QStringList{QStringLiteral("Variable 'OS' already exists\r\nDo you want to overwrite it?")});
        QCOMPARE(f.Elements(userVarTree(w), u"OS"), U{u"mine"});
        const U systemOS = f.Elements(sysVarTree(w), u"OS");
        TfrmYesNo::setNextAnswer(mrYes);
        QVERIFY(sys->dropAt(user, f.Empty(sys)));
        QCOMPARE(f.Elements(sysVarTree(w), u"OS"), U{u"mine"});
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(sysVarTree(w), u"OS"), systemOS);
        QCOMPARE(f.Elements(userVarTree(w), u"OS"), U{u"mine"});

        // Read-only variables do not start a drag.
        for (TENode* variable : userVarTree(w).Variables()) {
            if (userVarTree(w).GetVariableReadOnly(variable)) {
                f.Drag(user, variable);
                QVERIFY(user->dragNodes().empty());
            }
        }
    }

    // The system's USERNAME dropped onto the user tree, whose USERNAME is
    // the read-only one of the running program: refused with the reason,
    // before any question, and nothing moves.
    void aDropNeverReplacesAReadOnlyVariable()
    {
        TDragWindow f;
        f.Seed(RootKey::LocalMachine, kSystemEnvironmentKey, u"USERNAME", u"SYSTEM");
        TfrmMain& w = f.OpenShown();
        TETree& user = userVarTree(w);
        TENode* mine = user.FindVariable(u"USERNAME");
        QVERIFY(mine && user.GetVariableReadOnly(mine));
        const std::u16string value = user.GetVariableValue(mine);
        const size_t steps = undoStack(w).Count();
        f.Drag(sysVarView(w), sysVarTree(w).FindVariable(u"USERNAME"));
        TfrmOK::setNextAnswer(mrOk);
        QVERIFY(!userVarView(w)->dropAt(sysVarView(w), f.Empty(userVarView(w))));
        QCOMPARE(TfrmOK::hook().asked(),
                 QStringList{QStringLiteral("Variable 'USERNAME' is read-only and can't be replaced")});
        QVERIFY(TfrmYesNo::hook().asked().isEmpty());
        QCOMPARE(user.FindVariable(u"USERNAME"), mine);
        QVERIFY(user.GetVariableReadOnly(mine));
        QCOMPARE(user.GetVariableValue(mine), value);
        QCOMPARE(f.Elements(sysVarTree(w), u"USERNAME"), U{u"SYSTEM"});
        QCOMPARE(undoStack(w).Count(), steps);
    }

    void elementsLandByThePointersPart()
    {
        TDragWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b;c");
        f.Seed(RootKey::CurrentUser, u"Environment", u"TW", u"p;q");
        f.Seed(RootKey::CurrentUser, u"Environment", u"NS", u"n");
        TfrmMain& w = f.OpenShown();
        GlobalOptions()->GetExclusions().Add(u"NS", false, true);
        TETree& tree = userVarTree(w);
        TETreeView* view = userVarView(w);
        auto drop = [&](const std::u16string& from, size_t row, const TENode* target, TDropPosition part) {
            f.Drag(view, tree.FindVariable(from)->Child(row));
            return view->dropAt(view, f.At(view, target, part));
        };
        TENode* tv = tree.FindVariable(u"TV");

        QVERIFY(drop(u"TV", 0, tv->Child(2), TDropPosition::Below)); // after c
        QCOMPARE(f.Elements(tree, u"TV"), (U{u"b", u"c", u"a"}));
        QCOMPARE(tree.GetElement(tree.GetFocusedNode()), u"a");
        QVERIFY(drop(u"TV", 2, tv->Child(0), TDropPosition::Above)); // before b
        QCOMPARE(f.Elements(tree, u"TV"), (U{u"a", u"b", u"c"}));
        QVERIFY(drop(u"TW", 0, tv, TDropPosition::Below)); // first of TV
        QVERIFY(drop(u"TW", 0, tv, TDropPosition::On)); // last of TV
        QCOMPARE(f.Elements(tree, u"TV"), (U{u"p", u"a", u"b", u"c", u"q"}));
        QCOMPARE(f.Elements(tree, u"TW"), U{});

        // Into the other tree; one undo each.
        TETreeView* sys = sysVarView(w);
        TENode* path = sysVarTree(w).FindVariable(u"Path");
        f.Drag(view, tv->Child(0));
        QVERIFY(sys->dropAt(view, f.At(sys, path->Child(0), TDropPosition::Above)));
        QCOMPARE(sysVarTree(w).GetElement(path->Child(0)), u"p");
        QCOMPARE(f.Elements(tree, u"TV"), (U{u"a", u"b", u"c", u"q"}));
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(tree, u"TV"), (U{u"p", u"a", u"b", u"c", u"q"}));
        QVERIFY(sysVarTree(w).GetElement(sysVarTree(w).FindVariable(u"Path")->Child(0)) != u"p");

        // Refused: a variable kept whole, a read-only one, empty space, itself.
        tv = tree.FindVariable(u"TV");
        f.Drag(view, tv->Child(1));
        QVERIFY(!view->dropTargetAt(view, f.At(view, tree.FindVariable(u"NS"), TDropPosition::On), nullptr, nullptr));
        QVERIFY(!view->dropTargetAt(view, f.Empty(view), nullptr, nullptr));
        QVERIFY(!view->dropTargetAt(view, f.At(view, tv->Child(1), TDropPosition::On), nullptr, nullptr));
        for (TENode* variable : tree.Variables()) {
            if (tree.GetVariableReadOnly(variable)) {
                QVERIFY(!view->dropTargetAt(view, f.At(view, variable, TDropPosition::On), nullptr, nullptr));
            }
        }
        const size_t steps = undoStack(w).Count();
        QVERIFY(!view->dropAt(view, f.Empty(view)));
        QCOMPARE(undoStack(w).Count(), steps);
    }
};

QTEST_MAIN(ETreeViewDragTest)
#include "ETreeViewDragTest.moc"
