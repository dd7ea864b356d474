// The item model over a core tree: it must stay consistent through every
// kind of change (checked by QAbstractItemModelTester), forward changes as
// the matching fine-grained signals, and send nothing for a validation
// pass that changes no flag.

#include "ui/ETreeModel.h"

#include "model/ETree.h"
#include "settings/Exclusions.h"
#include "tests/support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace talvoren;

namespace {
QString text(const QModelIndex& index)
{
    return index.data(Qt::DisplayRole).toString();
}

// Every signal by which a model tells a view to repaint or re-layout.
struct TModelSpies {
    explicit TModelSpies(QAbstractItemModel& model)
        : dataChanged(&model, &QAbstractItemModel::dataChanged)
        , rowsInserted(&model, &QAbstractItemModel::rowsInserted)
        , rowsRemoved(&model, &QAbstractItemModel::rowsRemoved)
        , rowsMoved(&model, &QAbstractItemModel::rowsMoved)
        , modelReset(&model, &QAbstractItemModel::modelReset)
        , layoutChanged(&model, &QAbstractItemModel::layoutChanged)
    {
    }
    int total() const
    {
        return int(dataChanged.count() + rowsInserted.count() + rowsRemoved.count() + rowsMoved.count()
                   + modelReset.count() + layoutChanged.count());
    }
    QSignalSpy dataChanged, rowsInserted, rowsRemoved, rowsMoved, modelReset, layoutChanged;
};
} // namespace

class ETreeModelTest : public QObject {
    Q_OBJECT

private slots:
    void staysConsistentThroughEveryKindOfChange()
    {
        test::TestMachine machine;
        TETree tree(machine.platform());
        TETreeModel model(tree);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        TENode* path = tree.AddVariable(u"PATH", u"C:\\Windows;C:\\a;C:\\b", kDataTypeExpandString, false);
        tree.AddVariable(u"TEMP", u"C:\\Temp", kDataTypeString, false);
        tree.AddVariable(u"ALLUSERSPROFILE", u"C:\\ProgramData", kDataTypeString, true);
        tree.SetVariableValue(path, u"x;y");
        tree.InsertElement(path, 1, u"z");
        tree.MoveElement(path->Child(0), path, 2);
        tree.SetVariableName(path, u"ZPATH"); // re-sorts: a move of a top-level row
        tree.SetElementText(path->Child(0), u"changed");
        tree.SetVariableType(path, kDataTypeString);
        tree.ShowReadOnly(false);
        tree.ShowReadOnly(true);
        const std::vector<uint8_t> snapshot = tree.SaveToStream();
        tree.DeleteNode(path->Child(1));
        tree.DeleteNode(tree.FindVariable(u"TEMP"));
        tree.LoadFromStream(snapshot);
        tree.Verify();
        tree.Clear();
        QCOMPARE(model.rowCount(), 0);
    }

    void structureAndTextsFollowTheTree()
    {
        test::TestMachine machine;
        TETree tree(machine.platform());
        tree.AddVariable(u"b", u"1;2", kDataTypeString, false);
        tree.AddVariable(u"A", u"x", kDataTypeExpandString, false);
        TETreeModel model(tree);

        QCOMPARE(model.rowCount(), 2);
        const QModelIndex a = model.index(0, 0);
        const QModelIndex b = model.index(1, 0);
        QCOMPARE(text(a), QStringLiteral("A=x"));
        QCOMPARE(text(b), QStringLiteral("b=1;2"));
        QCOMPARE(model.rowCount(b), 2);
        const QModelIndex two = model.index(1, 0, b);
        QCOMPARE(text(two), QStringLiteral("2"));
        QCOMPARE(model.parent(two), b);
        QVERIFY(!model.parent(b).isValid());
        QCOMPARE(model.rowCount(two), 0);
        QCOMPARE(TETreeModel::nodeOf(two), tree.FindVariable(u"b")->Child(1));
        QCOMPARE(model.indexOf(tree.FindVariable(u"A")), a);
        QVERIFY(!model.index(2, 0).isValid());
        QVERIFY(!model.index(0, 1).isValid());

        // Images: variables only, by type.
        QCOMPARE(a.data(TETreeModel::ImageRole).toInt(), int(kImageExpandable));
        QCOMPARE(b.data(TETreeModel::ImageRole).toInt(), int(kImageString));
        QCOMPARE(two.data(TETreeModel::ImageRole).toInt(), int(kImageNone));
        QVERIFY(!a.data(Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(!two.data(Qt::DecorationRole).isValid());
    }

    void readOnlyAndEditability()
    {
        test::TestMachine machine;
        TETree tree(machine.platform());
        tree.AddVariable(u"SystemRoot", u"C:\\Windows", kDataTypeString, true);
        tree.AddVariable(u"X", u"C:\\Windows", kDataTypeString, false);
        TETreeModel model(tree);
        const QModelIndex special = model.index(0, 0);
        const QModelIndex plain = model.index(1, 0);

        QCOMPARE(special.data(TETreeModel::ImageRole).toInt(), int(kImageReadOnly));
        QCOMPARE(special.data(Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));
        QCOMPARE(model.index(0, 0, special).data(Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));
        QVERIFY(!plain.data(Qt::ForegroundRole).isValid());
        QVERIFY(!(model.flags(special) & Qt::ItemIsEditable));
        QVERIFY(model.flags(plain) & Qt::ItemIsEditable);

        tree.SetEditable(false);
        QVERIFY(!(model.flags(plain) & Qt::ItemIsEditable));
        QVERIFY(model.flags(plain) & Qt::ItemIsSelectable);
    }

    void wrongPathIsBoldRedWithMarkAndHint()
    {
        test::TestMachine machine;
        TETree tree(machine.platform());
        TExclusions exclusions;
        tree.SetExclusions(&exclusions);
        tree.AddVariable(u"GOOD", u"C:\\Windows", kDataTypeString, false);
        tree.AddVariable(u"LIST", u"C:\\Windows;C:\\nothere", kDataTypeString, false);
        TETreeModel model(tree);
        TModelSpies spies(model);

        tree.Verify();
        const QModelIndex list = model.index(1, 0);
        const QModelIndex missing = model.index(1, 0, list);
        // Exactly the two nodes whose flag changed, and no structural signal.
        QCOMPARE(spies.dataChanged.count(), 2);
        QCOMPARE(spies.total(), 2);
        QVERIFY(missing.data(Qt::FontRole).value<QFont>().bold());
        QCOMPARE(missing.data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        QVERIFY(list.data(TETreeModel::ErrorMarkRole).toBool());
        QVERIFY(!model.index(0, 0).data(TETreeModel::ErrorMarkRole).toBool());
        QVERIFY(!model.index(0, 0, list).data(Qt::FontRole).isValid());
        QCOMPARE(missing.data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Error(s):\n- Invalid path or you have no access to it"));
        QVERIFY(!model.index(0, 0).data(Qt::ToolTipRole).isValid());

        // The exclusion list marks the variable; validation off clears its error.
        exclusions.Add(u"LIST", true, false);
        tree.Verify();
        const QModelIndex again = model.indexOf(tree.FindVariable(u"LIST"));
        QVERIFY(again.data(TETreeModel::ExclusionMarkRole).toBool());
        QVERIFY(!again.data(TETreeModel::ErrorMarkRole).toBool());
        QVERIFY(again.data(Qt::ToolTipRole).toString().contains(QStringLiteral("Warning(s):")));
    }

    // The hint says what a value becomes and what is wrong with it; a
    // reference that stays as written takes the warning colour.
    void hintShowsTheExpandedValueAndLiteralReferencesWarn()
    {
        test::TestMachine machine;
        TETree system(machine.platform()), user(machine.platform());
        user.SetResolvingTree(&system);
        system.AddVariable(u"SystemRoot", u"C:\\Windows", kDataTypeString, true);
        user.AddVariable(u"TV", u"%SystemRoot%;%SystemRoot%\\nothere", kDataTypeExpandString, false);
        user.AddVariable(u"TV_TEXT", u"%SystemRoot%", kDataTypeString, false);
        user.Verify();
        TETreeModel model(user);
        const QModelIndex tv = model.indexOf(user.FindVariable(u"TV"));
        const QModelIndex text = model.indexOf(user.FindVariable(u"TV_TEXT"));
        QCOMPARE(model.index(0, 0, tv).data(Qt::ToolTipRole).toString(), QStringLiteral("Expands to: C:\\Windows"));
        QCOMPARE(model.index(1, 0, tv).data(Qt::ToolTipRole).toString(),
                 QStringLiteral(
                     "Expands to: C:\\Windows\\nothere\n\nError(s):\n- Invalid path or you have no access to it"));
        QVERIFY(!model.index(0, 0, tv).data(Qt::ForegroundRole).isValid());
        QVERIFY(text.data(Qt::ToolTipRole)
                    .toString()
                    .startsWith(QStringLiteral("Warning(s):\n- '%SystemRoot%' is not expanded in a text string")));
        QCOMPARE(text.data(Qt::ForegroundRole).value<QColor>(), WarningColor());
        QCOMPARE(model.index(0, 0, text).data(Qt::ForegroundRole).value<QColor>(), WarningColor());
    }

    void aValidationPassThatChangesNothingSendsNothing()
    {
        test::TestMachine machine;
        TETree tree(machine.platform());
        tree.AddVariable(u"LIST", u"C:\\Windows;C:\\nothere;%UNDEFINED%\\x", kDataTypeExpandString, false);
        tree.AddVariable(u"LONG", std::u16string(2048, u'x'), kDataTypeString, false);
        TETreeModel model(tree);
        tree.Verify();

        TModelSpies spies(model);
        for (int tick = 0; tick < 5; ++tick) {
            tree.Verify();
        }
        QCOMPARE(spies.total(), 0);
    }

    void changesTravelAsTheirOwnSignalsNeverAsAReset()
    {
        test::TestMachine machine;
        TETree tree(machine.platform());
        TENode* a = tree.AddVariable(u"A", u"1;2", kDataTypeString, false);
        TETreeModel model(tree);
        TModelSpies spies(model);

        tree.AddVariable(u"B", u"x", kDataTypeString, false);
        QCOMPARE(spies.rowsInserted.count(), 1);
        QCOMPARE(spies.rowsInserted.first().at(1).toInt(), 1); // appended after A

        // The element and its variable, whose text shows the whole value.
        tree.SetElementText(a->Child(0), u"one");
        QCOMPARE(spies.dataChanged.count(), 2);
        QSet<TENode*> changed;
        for (const auto& args : spies.dataChanged) {
            changed.insert(TETreeModel::nodeOf(args.at(0).value<QModelIndex>()));
        }
        QCOMPARE(changed, (QSet<TENode*>{a, a->Child(0)}));

        tree.SetVariableName(a, u"C"); // sorts after B
        QCOMPARE(spies.rowsMoved.count(), 1);
        QCOMPARE(text(model.index(1, 0)), QStringLiteral("C=one;2"));

        tree.DeleteNode(a);
        QCOMPARE(spies.rowsRemoved.count(), 1);
        QCOMPARE(spies.modelReset.count(), 0);
        QCOMPARE(spies.layoutChanged.count(), 0);
    }
};

QTEST_MAIN(ETreeModelTest)
#include "ETreeModelTest.moc"
