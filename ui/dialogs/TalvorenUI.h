#pragma once

// The user selector of the main window: a drop-down list whose entries are
// accounts, with each entry's account kept beside it.

#include "system/ToolsUser.h"

#include <QComboBox>
#include <vector>

namespace talvoren {

class TUsersComboBox : public QComboBox {
public:
    explicit TUsersComboBox(QWidget* parent = nullptr);

    void ClearUsers();
    void AddUser(const UserInfo& user, const QString& text);
    // The selected entry's account; an error (TError) when none is selected.
    const UserInfo& GetUser() const;
    std::u16string GetUserName() const { return GetUser().Name; }

private:
    std::vector<UserInfo> FUsers; // entry i describes item i
};

} // namespace talvoren
