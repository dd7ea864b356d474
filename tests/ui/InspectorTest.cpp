// The information panel over the real window: the inspector's rows for
// variables and elements of each kind, its grid (images, shading, hints),
// the rule that an unchanged node touches the grid not at all, and the legend.

#include "ui/Inspector.h"

#include "model/ETree.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/ETreeModel.h"
#include "ui/EffectivePanel.h"
#include "ui/FormMain.h"
#include "ui/UiText.h"

#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <filesystem>

using namespace talvoren;
using namespace talvoren::test;

namespace {

// Each row as "name|value|image" (image as the grid shows it: -1 for none).
QStringList Rows(TfrmMain& w)
{
    QStringList rows;
    TInspectorGridModel& model = inspectorGrid(w)->gridModel();
    for (int r = 0; r < model.rowCount(); ++r) {
        const bool image = !model.data(model.index(r, 1), Qt::DecorationRole).isNull();
        rows << model.data(model.index(r, 0), Qt::DisplayRole).toString() + QLatin1Char('|')
                + model.data(model.index(r, 1), Qt::DisplayRole).toString() + QLatin1Char('|')
                + QString::number(image ? model.ImageIndex(r, 1) : -1);
    }
    return rows;
}

void Focus(TfrmMain& w, TENode* node)
{
    userVarTree(w).ActivateNode(node);
}

} // namespace

class InspectorTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetDialogs(); }

    void rowsFollowTheFocusedNode()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        QTRY_COMPARE(activeView(w), userVarView(w));
        TETree& tree = userVarTree(w);
        const std::u16string scratch = f.machine.scratchPath();
        std::filesystem::create_directories(f.machine.scratchHostPath() / "Tools");
        const std::u16string lower = scratch + u"\\tools";
        TENode* exp = tree.AddVariable(u"TV_EXP", u"%TV_STR%\\bin;C:\\nothere;" + lower, kDataTypeExpandString, false);
        TENode* str = tree.AddVariable(u"TV_STR", u"C:\\base", kDataTypeString, false);
        TENode* ro = tree.AddVariable(u"TV_RO", u"fixed", kDataTypeString, true);
        const std::u16string raw = tree.GetVariableValue(exp);

        Focus(w, exp);
        QTRY_COMPARE(Rows(w),
                     (QStringList{"Variable name|TV_EXP|-1", "Type|Expandable string|1", "Value|" + toQ(raw) + "|-1",
                                  "Expanded value|" + toQ(tree.GetVariableValueEx(exp)) + "|-1",
                                  "Error(s)|Variable contains invalid path or you have no access to it|3"}));
        QVERIFY(toQ(tree.GetVariableValueEx(exp)).startsWith("C:\\base\\bin;"));

        // An element: no image on its type; fewer rows drop the surplus.
        Focus(w, exp->Child(1));
        QTRY_COMPARE(
            Rows(w),
            (QStringList{"Variable name|TV_EXP|-1", "Type|Expandable string|-1", "Value|C:\\nothere|-1",
                         "Expanded value|C:\\nothere|-1", "Error(s)|Invalid path or you have no access to it|3"}));
        // An existing folder written in other letters has a long form; a
        // short one only where the file system keeps short names (Windows),
        // and then the one it keeps.
        Focus(w, exp->Child(2));
        QTRY_VERIFY(Rows(w).contains("Long path|" + toQ(scratch) + "\\Tools|-1"));
        const auto shortName = f.machine.platform().fileSystem().shortPathName(lower);
        if (shortName && *shortName != lower) {
            QVERIFY(Rows(w).join('\n').contains("Short path|" + toQ(*shortName)));
        } else {
            QVERIFY(!Rows(w).join('\n').contains("Short path"));
        }
        // A reference is no path to convert; its expansion is checked.
        Focus(w, exp->Child(0));
        QTRY_COMPARE(
            Rows(w).mid(3),
            (QStringList{"Expanded value|C:\\base\\bin|-1", "Error(s)|Invalid path or you have no access to it|3"}));

        Focus(w, str);
        QTRY_COMPARE(Rows(w),
                     (QStringList{"Variable name|TV_STR|-1", "Type|String|0", "Value|C:\\base|-1",
                                  "Error(s)|Variable contains invalid path or you have no access to it|3"}));
        Focus(w, ro);
        QTRY_COMPARE(Rows(w), (QStringList{"Variable name|TV_RO|-1", "Type|Read-only string|2", "Value|fixed|-1"}));

        // Two errors: the title on the first row only, both with the image.
        tree.SetVariableValue(str, u"C:\\nothere2;" + std::u16string(2050, u'x'));
        Focus(w, str);
        QTRY_COMPARE(Rows(w).mid(3),
                     (QStringList{"Error(s)|Variable contains invalid path or you have no access to it|3",
                                  "|Value exceeds length limit of 2047 characters|3"}));

        // The grid: the hint holds the whole long value (the skin test
        // checks the shaded rows).
        TInspectorGridModel& model = inspectorGrid(w)->gridModel();
        QTextDocument hint;
        hint.setHtml(model.data(model.index(2, 1), Qt::ToolTipRole).toString());
        QCOMPARE(hint.toPlainText().remove(QChar(0x200B)), toQ(tree.GetVariableValue(str)));
        QVERIFY(model.data(model.index(1, 0), Qt::DecorationRole).isNull());

        // No focused node: the texts stay, the images go.
        const QStringList before = Rows(w);
        tree.SetFocusedNode(nullptr);
        QTest::qWait(450);
        QCOMPARE(model.rowCount(), before.size());
        QCOMPARE(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("TV_STR"));
        QVERIFY(model.data(model.index(1, 1), Qt::DecorationRole).isNull());
    }

    void unchangedNodeTouchesNoRow()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        QTRY_COMPARE(activeView(w), userVarView(w));
        TENode* node = userVarTree(w).AddVariable(u"TV", u"C:\\nothere;two", kDataTypeExpandString, false);
        Focus(w, node);
        QTRY_COMPARE(Rows(w).value(0), QStringLiteral("Variable name|TV|-1"));
        QTRY_COMPARE(Rows(w).size(), 5);

        TInspectorGridModel& model = inspectorGrid(w)->gridModel();
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QTest::qWait(1000); // five ticks
        QCOMPARE(changed.count() + inserted.count() + removed.count(), 0);

        // One changed value repaints that row and the expanded one, nothing else.
        userVarTree(w).SetVariableValue(node, u"C:\\nothere;three");
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex().row(), 2);
        QCOMPARE(changed[0][1].toModelIndex().row(), 3);
        QCOMPARE(inserted.count() + removed.count(), 0);

        // While the legend is shown the inspector waits; it catches up after.
        informationTabs(w)->setCurrentWidget(legendGrid(w));
        Focus(w, node->Child(1));
        QTest::qWait(450);
        QCOMPARE(Rows(w).value(2), QStringLiteral("Value|C:\\nothere;three|-1"));
        informationTabs(w)->setCurrentWidget(inspectorGrid(w));
        QTRY_COMPARE(Rows(w).value(2), QStringLiteral("Value|three|-1"));
    }

    // The Effective tab: what a new process gets from both trees, following
    // unsaved edits, and a double-click that leads to the node.
    void effectiveTabShowsWhatAProcessGets()
    {
        TFixture f;
        f.Seed(platform::RootKey::LocalMachine, kSystemEnvironmentKey, u"Path", u"C:\\SysA;C:\\SysB");
        f.Seed(platform::RootKey::CurrentUser, u"Environment", u"Path", u"C:\\UserA");
        f.Seed(platform::RootKey::LocalMachine, kSystemEnvironmentKey, u"TV_SHARED", u"system");
        TfrmMain& w = f.Open();
        QTabWidget* tabs = informationTabs(w);
        auto* panel = part<TEffectivePanel>(w, "treeEffective");
        tabs->setCurrentWidget(panel);
        auto top = [&](const QString& name) -> QTreeWidgetItem* {
            const auto found = panel->findItems(name, Qt::MatchFixedString);
            return found.isEmpty() ? nullptr : found.first();
        };
        QTreeWidgetItem* path = top(QStringLiteral("Path"));
        QVERIFY(path);
        QCOMPARE(path->text(1), QStringLiteral("C:\\SysA;C:\\SysB;C:\\UserA"));
        QCOMPARE(path->text(2), QStringLiteral("System and user"));
        QCOMPARE(path->childCount(), 3);
        QVERIFY(path->isExpanded());
        QCOMPARE(path->child(2)->text(1) + u'|' + path->child(2)->text(2), QStringLiteral("C:\\UserA|User"));
        QCOMPARE(top(QStringLiteral("TV_SHARED"))->text(2), QStringLiteral("System"));

        // An unsaved edit in the user tree replaces the system's value.
        f.EditUser(u"TV_SHARED", u"user");
        panel->Refresh();
        QCOMPARE(top(QStringLiteral("TV_SHARED"))->text(1) + u'|' + top(QStringLiteral("TV_SHARED"))->text(2),
                 QStringLiteral("user|User"));
        QVERIFY(top(QStringLiteral("Path"))->isExpanded());

        // The second system folder leads to its element in the system tree.
        emit panel->itemActivated(top(QStringLiteral("Path"))->child(1), 0);
        QTRY_COMPARE(activeView(w), sysVarView(w));
        TENode* focused = sysVarTree(w).GetFocusedNode();
        QVERIFY(focused && !focused->IsVariable());
        QCOMPARE(sysVarTree(w).GetElement(focused), std::u16string(u"C:\\SysB"));
    }

    void legendExplainsTheImages()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        QAbstractItemModel* legend = legendGrid(w)->model();
        QCOMPARE(legend->rowCount(), 7);
        QCOMPARE(legend->columnCount(), 1);
        QCOMPARE(legend->index(0, 0).data().toString(), QStringLiteral("A text string"));
        QCOMPARE(legend->index(4, 0).data().toString(), QStringLiteral("Variable is in the exclude list"));
        // The last rows show the warnings' colour, as the tree draws it.
        QCOMPARE(legend->index(5, 0).data().toString(),
                 QStringLiteral("Also in the system Path, which is searched first"));
        QVERIFY(legend->index(6, 0).data().toString().startsWith(QStringLiteral("A reference that stays as written")));
        for (int r = 0; r < 7; ++r) {
            QVERIFY(!legend->index(r, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
            QCOMPARE(legend->index(r, 0).data(Qt::ForegroundRole).isValid(), r >= 5);
        }
        QCOMPARE(informationTabs(w)->currentWidget(), inspectorGrid(w));
        QCOMPARE(informationTabs(w)->tabText(1), QStringLiteral("Legen&d"));
    }
};

QTEST_MAIN(InspectorTest)
#include "InspectorTest.moc"
