#pragma once

// The completion popup under the in-place editor: a frameless list that
// never takes the keyboard focus from the editor. It fills itself from the
// listing functions of edit/ContentAssist.h and writes the chosen row back
// into the editor.

#include "edit/ContentAssist.h"

#include <QWidget>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;

namespace talvoren {

namespace platform {
class IPlatform;
}

// Where the popup asks for variable references ("%NAME%" beginning with s).
class IVariablesGetter {
public:
    virtual ~IVariablesGetter() = default;
    virtual std::vector<std::u16string> GetVariablesStartedWith(const std::u16string& s) = 0;
    // The same from the tree the edited tree resolves against; empty if none.
    virtual std::vector<std::u16string> GetResolvedVariablesStartedWith(const std::u16string& s) = 0;
};

class TContentAssist;

// The popup window; the close-popup message of the main window hides it.
class TBorderedForm : public QWidget {
    Q_OBJECT
public:
    explicit TBorderedForm(QWidget* parent);
    TContentAssist* ca = nullptr;

protected:
    // The grey 1-pixel frame around the list.
    void paintEvent(QPaintEvent* event) override;
};

class TContentAssist : public QObject {
    Q_OBJECT
public:
    TContentAssist(platform::IPlatform& platform, IVariablesGetter& varGetter, QLineEdit* editField);
    ~TContentAssist() override;

    static constexpr int kWidth = 600;
    static constexpr int kRowHeight = 24;
    static constexpr int kRows = 5;

    void Initialize(int position, TContentAssistType isVars);
    void UpdatePopup();
    void Hide();
    bool IsVisible() const;
    void ProcessKeyUp();
    void ProcessKeyDown();
    void ProcessKeyEnter();
    int GetSelectionIndex() const;
    QString GetSelection() const;

    TContentAssistType mode() const { return isVars; }
    int position() const { return contentAssistPos; }
    QListWidget* list() const { return listBox; }
    TBorderedForm* popup() const { return form; }

signals:
    // A hint row was accepted: run the command under this key (F7 or F8).
    void commandKey(int key);

private:
    void Place(int position);

    platform::IPlatform& fPlatform;
    int contentAssistPos = -1;
    TBorderedForm* form = nullptr;
    TContentAssistType isVars = TContentAssistType::Path;
    QListWidget* listBox = nullptr;
    QLineEdit* editField;
    IVariablesGetter& varGetter;
};

} // namespace talvoren
