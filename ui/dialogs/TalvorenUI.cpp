#include "ui/dialogs/TalvorenUI.h"

#include "base/Error.h"
#include "base/Translation.h"

namespace talvoren {

TUsersComboBox::TUsersComboBox(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(false);
}

void TUsersComboBox::ClearUsers()
{
    clear();
    FUsers.clear();
}

void TUsersComboBox::AddUser(const UserInfo& user, const QString& text)
{
    FUsers.push_back(user);
    addItem(text);
}

const UserInfo& TUsersComboBox::GetUser() const
{
    const int index = currentIndex();
    if (index < 0 || static_cast<size_t>(index) >= FUsers.size()) {
        throw TError(talvoren::tr("No user selected"));
    }
    return FUsers[static_cast<size_t>(index)];
}

} // namespace talvoren
