#include "ui/EffectivePanel.h"

#include "base/Text.h"
#include "model/ETree.h"
#include "model/EffectiveEnvironment.h"
#include "ui/UiText.h"

#include <QHeaderView>
#include <QTimer>

namespace talvoren {

namespace {

constexpr int kRefreshMs = 200;

QString originText(TEnvOrigin origin)
{
    switch (origin) {
    case TEnvOrigin::System:
        return qtr("System");
    case TEnvOrigin::User:
        return qtr("User");
    case TEnvOrigin::SystemAndUser:
        return qtr("System and user");
    default:
        return qtr("Windows (logon)");
    }
}

} // namespace

TEffectivePanel::TEffectivePanel(TTrees trees, QWidget* parent)
    : QTreeWidget(parent)
    , fTrees(std::move(trees))
    , fTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("treeEffective"));
    setColumnCount(3);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(1, QHeaderView::Stretch);
    fTimer->setInterval(kRefreshMs);
    connect(fTimer, &QTimer::timeout, this, &TEffectivePanel::Refresh);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const size_t index = item->data(0, Qt::UserRole).toULongLong();
        if (index < fShown.size() && !fShown[index].variable.isEmpty()) {
            emit nodeRequested(fShown[index].userTree, fShown[index].variable, fShown[index].elementRow);
        }
    });
}

std::vector<TEffectivePanel::TRow> TEffectivePanel::Rows() const
{
    std::vector<TRow> rows;
    const auto [system, user] = fTrees();
    if (!system || !user) {
        return rows;
    }
    const TEffectiveEnvironment environment(*system, *user);
    auto nodeOf = [&](TRow& row, const TENode* node, bool fromUser) {
        if (node) {
            const TETree& tree = fromUser ? *user : *system;
            row.userTree = fromUser;
            row.variable = toQ(tree.GetVariableName(node));
            row.elementRow = node->IsVariable() ? -1 : static_cast<int>(node->Row());
        }
    };
    for (const auto& variable : environment.Variables()) {
        TRow& row = rows.emplace_back();
        row.name = toQ(variable.name);
        row.value = toQ(variable.value);
        row.origin = originText(variable.origin);
        nodeOf(row, variable.userNode ? variable.userNode : variable.systemNode, variable.userNode != nullptr);
        if (!equalsAsciiNoCase(variable.name, u"Path")) {
            continue;
        }
        const int parent = static_cast<int>(rows.size() - 1);
        for (const auto& folder : environment.PathElements()) {
            TRow& child = rows.emplace_back();
            child.value = toQ(folder.folder);
            child.origin = folder.fromUser ? qtr("User") : qtr("System");
            child.parent = parent;
            nodeOf(child, folder.node, folder.fromUser);
        }
    }
    return rows;
}

void TEffectivePanel::Refresh()
{
    const QStringList headers{qtr("Variable"), qtr("Value"), qtr("From")};
    for (int i = 0; i < headers.size(); ++i) {
        if (headerItem()->text(i) != headers[i]) {
            headerItem()->setText(i, headers[i]);
        }
    }
    std::vector<TRow> rows = Rows();
    if (rows == fShown) {
        return;
    }
    // Kept across the rebuild: which variable is selected and which are open.
    const QString selected = currentItem() ? currentItem()->text(0) : QString();
    QStringList expanded;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->isExpanded()) {
            expanded << topLevelItem(i)->text(0);
        }
    }
    const bool firstFill = fShown.empty();
    clear();
    std::vector<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const TRow& row = rows[i];
        auto* item = row.parent < 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(items[row.parent]);
        item->setText(0, row.name);
        item->setText(1, row.value);
        item->setText(2, row.origin);
        item->setToolTip(1, row.value);
        item->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(i));
        items.push_back(item);
    }
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        const QString name = item->text(0);
        // Path is open at first: its folders in order are what the tab is for.
        item->setExpanded(expanded.contains(name)
                          || (firstFill && name.compare(QStringLiteral("Path"), Qt::CaseInsensitive) == 0));
        if (name == selected) {
            setCurrentItem(item);
        }
    }
    fShown = std::move(rows);
}

void TEffectivePanel::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    Refresh();
    fTimer->start();
}

void TEffectivePanel::hideEvent(QHideEvent* event)
{
    fTimer->stop();
    QTreeWidget::hideEvent(event);
}

} // namespace talvoren
