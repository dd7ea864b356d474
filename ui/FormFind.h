#pragma once

// The search commands of the window: "Find..." asks for a text and its
// options in the small dialog TfrmFind and searches both trees, the active
// one first from its focused node on; "Find Next" and "Find Previous" go on
// from the hit with the same text, and "Next problem" / "Previous problem"
// walk the same way to the nodes with an error or a warning. A walk that
// comes round to its start says so in the status bar. The text and the
// options last for the rest of the run.

#include "model/ETree.h"

#include <QDialog>
#include <QObject>
#include <functional>
#include <string>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace talvoren {

class TETreeView;

class TfrmFind : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFind(QWidget* parent = nullptr);

    QLineEdit* edit() const { return edtText; }
    QPushButton* okButton() const { return btnOk; }
    QCheckBox* matchCaseBox() const { return chkMatchCase; }
    QCheckBox* wholeElementBox() const { return chkWholeElement; }

private:
    void FormCreate();
    void edtTextChange();

    QLabel* lblText;
    QLineEdit* edtText;
    QCheckBox* chkMatchCase;
    QCheckBox* chkWholeElement;
    QPushButton* btnOk;
    QPushButton* btnCancel;
};

// Shows the dialog with `text` and `options`; on OK the dialog's text and
// options go back into them and the answer is true, on Cancel they stay.
bool ShowFindDialog(std::u16string& text, TETree::TFindOptions& options, QWidget* parent);

class TFindActions : public QObject {
    Q_OBJECT
public:
    // What the commands need to know of the window.
    struct TWindow {
        QWidget* widget = nullptr; // owns the actions, parents the dialogs
        std::function<TETreeView*()> activeTree;
        std::function<TETreeView*()> otherTree; // the tree that is not active
        std::function<void(TETreeView*)> showTree; // makes it the active tree, with the focus
    };
    explicit TFindActions(TWindow window);

    // Find Next and Find Previous are enabled exactly while a search text
    // has been accepted.
    void Update();
    const std::u16string& searchString() const { return fSearchString; }
    const TETree::TFindOptions& options() const { return fOptions; }

    QAction* actEditFind = nullptr;
    QAction* actEditFindNext = nullptr;
    QAction* actEditFindPrevious = nullptr;
    QAction* actEditNextProblem = nullptr;
    QAction* actEditPreviousProblem = nullptr;

public slots:
    void actEditFindExecute();
    void actEditFindNextExecute();
    void actEditFindPreviousExecute();
    void actEditNextProblemExecute();
    void actEditPreviousProblemExecute();

private:
    // Searches both trees for the text; a text found nowhere is told.
    void SearchText(bool forward, bool includeFocused);
    void GoToProblem(bool forward);
    // Runs the walk; false when nothing matched anywhere.
    bool Walk(bool forward, bool includeFocused, const TNodeMatch& matches);
    void Notify(const QString& text);

    TWindow fWindow;
    std::u16string fSearchString;
    TETree::TFindOptions fOptions;
};

} // namespace talvoren
