// The tree view mirrors the core tree's hidden, expanded, focus and
// selection states in both directions, searches incrementally over all
// nodes, and shows the read-only look of a system tree without write access.

#include "ui/ETreeView.h"

#include "model/ETree.h"
#include "tests/support/TestSupport.h"
#include "ui/ETreeModel.h"

#include <QSignalSpy>
#include <QTest>

using namespace talvoren;

class ETreeViewTest : public QObject {
    Q_OBJECT

private:
    struct TFixture {
        test::TestMachine machine;
        TETree tree{machine.platform()};
        TENode* alpha;
        TENode* beta;
        TENode* special;
        std::unique_ptr<TETreeView> view;

        TFixture()
        {
            alpha = tree.AddVariable(u"ALPHA", u"one;two", kDataTypeString, false);
            beta = tree.AddVariable(u"BETA", u"gamma;delta", kDataTypeString, false);
            special = tree.AddVariable(u"COMPUTERNAME", u"HOST", kDataTypeString, true);
            tree.ClearSelection();
            tree.SetFocusedNode(nullptr);
            view = std::make_unique<TETreeView>(tree);
        }
        QModelIndex index(const TENode* node) const { return view->treeModel().indexOf(node); }
    };

private slots:
    void hiddenRowsFollowTheTreeAlsoAfterAReset()
    {
        TFixture f;
        QVERIFY(!f.view->isRowHidden(f.special->Row(), {}));
        f.tree.ShowReadOnly(false);
        QVERIFY(f.view->isRowHidden(f.special->Row(), {}));
        QVERIFY(!f.view->isRowHidden(f.alpha->Row(), {}));

        // Undo replaces the content: the new nodes keep their hidden state.
        f.tree.LoadFromStream(f.tree.SaveToStream());
        const TENode* again = f.tree.FindVariable(u"COMPUTERNAME");
        QVERIFY(again->IsHidden());
        QVERIFY(f.view->isRowHidden(again->Row(), {}));

        f.tree.ShowReadOnly(true);
        QVERIFY(!f.view->isRowHidden(again->Row(), {}));
    }

    void focusAndSelectionTravelBothWays()
    {
        TFixture f;
        f.tree.ActivateNode(f.beta->Child(1));
        QCOMPARE(f.view->currentIndex(), f.index(f.beta->Child(1)));
        QVERIFY(f.view->selectionModel()->isSelected(f.index(f.beta->Child(1))));

        f.view->setCurrentIndex(f.index(f.alpha)); // as a click would
        QCOMPARE(f.tree.GetFocusedNode(), f.alpha);
        QCOMPARE(f.tree.GetSelectedNodes(), std::vector<TENode*>{f.alpha});

        // Rows of the focused row's group join it; an element does not join
        // variables, and the view drops it again.
        f.view->selectionModel()->select(f.index(f.beta), QItemSelectionModel::Select);
        QCOMPARE(f.tree.GetSelectedNodes(), (std::vector<TENode*>{f.alpha, f.beta}));
        f.view->selectionModel()->select(f.index(f.beta->Child(0)), QItemSelectionModel::Select);
        QCOMPARE(f.tree.GetSelectedNodes(), (std::vector<TENode*>{f.alpha, f.beta}));
        QTRY_COMPARE(f.view->selectionModel()->selectedRows().size(), 2);
        // Nothing selected on screen: the focused row is.
        f.view->selectionModel()->clearSelection();
        QCOMPARE(f.tree.GetSelectedNodes(), std::vector<TENode*>{f.alpha});
    }

    void expansionTravelsBothWays()
    {
        TFixture f;
        f.tree.SetExpanded(f.alpha, true);
        QVERIFY(f.view->isExpanded(f.index(f.alpha)));
        f.view->collapse(f.index(f.alpha));
        QVERIFY(!f.alpha->IsExpanded());
        f.view->expand(f.index(f.beta));
        QVERIFY(f.beta->IsExpanded());

        f.view->expandAllNodes();
        QVERIFY(f.alpha->IsExpanded() && f.beta->IsExpanded());
        QVERIFY(f.view->isExpanded(f.index(f.alpha)));
        f.view->collapseAllNodes();
        QVERIFY(!f.alpha->IsExpanded() && !f.beta->IsExpanded());
        QVERIFY(!f.view->isExpanded(f.index(f.beta)));
    }

    void incrementalSearchLooksAtEveryNode()
    {
        TFixture f;
        f.tree.ActivateNode(f.alpha);
        // An element of a collapsed variable is found and its variable opened.
        f.view->keyboardSearch(QStringLiteral("GA"));
        QCOMPARE(f.tree.GetFocusedNode(), f.beta->Child(0));
        QVERIFY(f.beta->IsExpanded());
        QVERIFY(f.view->isExpanded(f.index(f.beta)));

        // Typing on extends the text: "gamma" no longer matches "gax".
        f.view->keyboardSearch(QStringLiteral("x"));
        QCOMPARE(f.tree.GetFocusedNode(), f.beta->Child(0));

        // A hidden read-only variable is skipped.
        f.tree.ShowReadOnly(false);
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        f.view->keyboardSearch(QStringLiteral("c"));
        QCOMPARE(f.tree.GetFocusedNode(), f.beta->Child(0));
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        f.view->keyboardSearch(QStringLiteral("b"));
        QCOMPARE(f.tree.GetFocusedNode(), f.beta);
    }

    void readOnlyLookIsGreyAndNotEditable()
    {
        TFixture f;
        f.view->setReadOnlyLook(true);
        QCOMPARE(f.view->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Window));
        QVERIFY(!f.tree.IsEditable());
        QVERIFY(!(f.view->model()->flags(f.index(f.alpha)) & Qt::ItemIsEditable));
    }

    void focusInReportsTheTree()
    {
        TFixture f;
        QSignalSpy spy(f.view.get(), &TETreeView::treeFocused);
        f.view->show();
        QVERIFY(QTest::qWaitForWindowActive(f.view.get()));
        f.view->setFocus();
        QTRY_VERIFY(spy.count() >= 1);
        QCOMPARE(spy.first().at(0).value<TETreeView*>(), f.view.get());
    }
};

QTEST_MAIN(ETreeViewTest)
#include "ETreeViewTest.moc"
