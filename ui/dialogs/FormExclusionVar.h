#pragma once

// The dialog that edits one exclusion: the variable's name and its two
// switches. "OK" stays disabled until the user changes something valid.

#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace talvoren {

class TExclusions;

class TfrmExclusionVar : public QDialog {
    Q_OBJECT
public:
    TfrmExclusionVar(TExclusions& exclusions, const std::u16string& name, QWidget* parent = nullptr);

    // True when the dialog ended with "OK", which replaced the entry of
    // `name` by the edited one.
    static bool createAndShowModal(TExclusions& exclusions, const std::u16string& name, QWidget* parent = nullptr);

    // Tests drive the open form here instead of a modal loop.
    static std::function<void(TfrmExclusionVar&)>& testDriver();

    QLineEdit* editName = nullptr;
    QCheckBox* chkNotSplit = nullptr;
    QCheckBox* chkNotCheck = nullptr;
    QLabel* lblErrorMessage = nullptr;
    QLabel* imgError = nullptr;
    QPushButton* btnOk = nullptr;

private:
    void Validate();
    void btnOkClick();

    TExclusions& fExclusions;
    std::u16string fInitialName;
};

} // namespace talvoren
