#pragma once

// The "Effective" tab of the information panel: every variable a new
// process of the shown account would get, with its final value and the
// scope it came from, and Path's folders in search order. It follows the
// trees as they are edited, so it shows what a process gets after a save.

#include <QTreeWidget>
#include <functional>
#include <utility>
#include <vector>

class QTimer;

namespace talvoren {

class TETree;

class TEffectivePanel : public QTreeWidget {
    Q_OBJECT
public:
    // The trees of the shown account, system first; asked at each refresh,
    // as the window creates them after its panels.
    using TTrees = std::function<std::pair<const TETree*, const TETree*>()>;
    explicit TEffectivePanel(TTrees trees, QWidget* parent = nullptr);

    // Rebuilds the rows when what a process would get has changed; the
    // panel does it by itself while it is shown.
    void Refresh();

signals:
    // A double-click on a row: the node it came from (element row -1 for
    // the variable itself).
    void nodeRequested(bool userTree, const QString& variable, int elementRow);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct TRow {
        QString name, value, origin;
        bool userTree = false;
        QString variable; // the node's variable in its tree; empty: no node
        int elementRow = -1;
        int parent = -1; // index of the row this one is a child of
        bool operator==(const TRow&) const = default;
    };
    std::vector<TRow> Rows() const;

    TTrees fTrees;
    QTimer* fTimer;
    std::vector<TRow> fShown;
};

} // namespace talvoren
