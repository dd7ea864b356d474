#pragma once

// The new-variable dialog: a name, checked while it is typed against the
// active tree's variables, and the type (string or expandable string).

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace talvoren {

class TETree;

class TfrmAddVar : public QDialog {
    Q_OBJECT
public:
    TfrmAddVar(const TETree& tree, QWidget* parent = nullptr);

    // Shows the dialog modally; true on OK. `text` comes back as the name
    // to store (surrounding blanks removed) on OK, as typed on Cancel;
    // `texttype` as the user left it (1 string or 2 expandable).
    static bool createAndShowModal(const TETree& tree, std::u16string& text, uint8_t& texttype,
                                   QWidget* parent = nullptr);

    // Tests run the dialog through this instead of a modal loop: it gets the
    // dialog (not shown, so the window keeps its activation) and returns its
    // result (QDialog::Accepted or Rejected).
    using TDriver = std::function<int(TfrmAddVar&)>;
    static void setDriver(TDriver driver);

    QLineEdit* editName = nullptr;
    QLabel* lblErrorMessage = nullptr;
    QRadioButton* rbString = nullptr;
    QRadioButton* rbExpString = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void editNameChange();

    const TETree& tree;
};

} // namespace talvoren
