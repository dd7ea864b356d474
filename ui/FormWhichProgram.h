#pragma once

// "Which program runs...": for a command name, the files a console would
// start from the effective Path, the one that runs first and the ones it
// shadows after it, each with the Path element of its folder. Enter on a
// hit leads to that element in its tree.

#include <QDialog>
#include <QObject>
#include <functional>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace talvoren {

class TETree;

class TfrmWhichProgram : public QDialog {
    Q_OBJECT
public:
    TfrmWhichProgram(const TETree& system, const TETree& user, QWidget* parent = nullptr);

    QLineEdit* edit() const { return edtCommand; }
    QTreeWidget* hits() const { return listHits; }

    // The element chosen with Enter or a double-click, once accepted.
    struct TChoice {
        bool userTree = false;
        std::u16string variable;
        int elementRow = -1;
    };
    const TChoice& choice() const { return fChoice; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void edtCommandChange();
    void Choose();

    const TETree& fSystem;
    const TETree& fUser;
    QLabel* lblCommand;
    QLineEdit* edtCommand;
    QTreeWidget* listHits;
    QLabel* lblResult;
    TChoice fChoice;
};

class TWhichProgramActions : public QObject {
    Q_OBJECT
public:
    using TTrees = std::function<std::pair<const TETree*, const TETree*>()>;
    using TShowNode = std::function<void(bool userTree, const std::u16string& variable, int elementRow)>;
    TWhichProgramActions(QWidget* window, TTrees trees, TShowNode showNode);

    QAction* actEditWhichProgram = nullptr;

private:
    QWidget* fWindow;
    TTrees fTrees;
    TShowNode fShowNode;
};

} // namespace talvoren
