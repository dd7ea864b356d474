#pragma once

// The search commands of the window: "Find..." asks for a text in the small
// dialog TfrmFind and searches the active tree from its first variable;
// "Find Next" goes on after the focused node with the same text. The text
// lasts for the rest of the run.

#include <QDialog>
#include <QObject>
#include <functional>
#include <string>

class QAction;
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

private:
    void FormCreate();
    void edtTextChange();

    QLabel* lblText;
    QLineEdit* edtText;
    QPushButton* btnOk;
    QPushButton* btnCancel;
};

// Shows the dialog with `text` in its edit; on OK the edit's text goes back
// into `text` and the answer is true, on Cancel `text` stays.
bool ShowFindDialog(std::u16string& text, QWidget* parent);

class TFindActions : public QObject {
    Q_OBJECT
public:
    TFindActions(QWidget* window, std::function<TETreeView*()> activeTree);

    // Find Next is enabled exactly while a search text has been accepted.
    void Update();
    const std::u16string& searchString() const { return fSearchString; }

    QAction* actEditFind = nullptr;
    QAction* actEditFindNext = nullptr;

public slots:
    void actEditFindExecute();
    void actEditFindNextExecute();

private:
    // Searches the active tree; a text found nowhere after the start is told.
    void SearchText(bool fromStart);

    QWidget* fWindow;
    std::function<TETreeView*()> fActiveTree;
    std::u16string fSearchString;
};

} // namespace talvoren
