#pragma once

// The layout shared by the three message dialogs: a fixed-size dialog with
// an icon and a centred, word-wrapped text inside a frame, and a row of
// buttons along the bottom right; a text too long for the designed size
// makes the dialog wider, then taller. Each button ends the dialog with its
// platform modal result; Esc and the close box give the safe answer. As in
// the system's message boxes a plain letter answers: the button's mnemonic,
// else Y, N or C for Yes, No and Cancel.

#include <QDialog>
#include <QStringList>
#include <QStyle>
#include <deque>

class QGroupBox;
class QLabel;
class QPushButton;

namespace talvoren {

// The platform's modal results.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrYes = 6,
    mrNo = 7,
};

// Lets a test answer a dialog class's next questions without a modal loop,
// and see which texts were asked.
class TDialogHook {
public:
    void setNextAnswer(int result) { fAnswers.push_back(result); }
    bool hasAnswer() const { return !fAnswers.empty(); }
    int takeAnswer();
    void record(const QString& text) { fAsked.append(text); }
    const QStringList& asked() const { return fAsked; }
    void reset();

private:
    std::deque<int> fAnswers;
    QStringList fAsked;
};

class TMessageForm : public QDialog {
    Q_OBJECT
public:
    QString text() const;
    QPushButton* button(int result) const;

protected:
    explicit TMessageForm(QWidget* parent);

    void setText(const QString& text);
    void setIcon(QStyle::StandardPixmap icon);
    QPushButton* addButton(const QString& caption, int result);
    void setEscapeResult(int result) { fEscapeResult = result; }
    // The button that has the focus when the dialog shows.
    void setFocusResult(int result) { fFocusResult = result; }

    // Runs the dialog modally, or takes the hook's answer when one is set.
    static int showModal(TMessageForm& form, TDialogHook& hook);

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The close box (and other window-system closes): the same safe answer
    // as Esc, Cancel or No.
    void reject() override;

private:
    void layOut(int textWidth, int textHeight);
    // The button a plain letter answers, or nullptr.
    QPushButton* buttonForLetter(const QString& letter) const;
    void fitText();

    QString fText; // as given; the label shows it with break chances
    QGroupBox* fFrame;
    QLabel* lblImage;
    QLabel* lblText;
    std::vector<std::pair<QPushButton*, int>> fButtons;
    int fEscapeResult = mrCancel;
    int fFocusResult = mrNone;
};

// The test hook of one dialog class, shared by all its instances.
template <class Form> class THookedForm {
public:
    static TDialogHook& hook()
    {
        static TDialogHook instance;
        return instance;
    }
    static void setNextAnswer(int result) { hook().setNextAnswer(result); }
};

} // namespace talvoren
