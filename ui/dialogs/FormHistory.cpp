#include "ui/dialogs/FormHistory.h"

#include "base/Error.h"
#include "edit/RegRestore.h"
#include "model/RegFile.h"
#include "ui/UiText.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace talvoren {

namespace {

QString q(const std::u16string& text)
{
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

} // namespace

TfrmHistory::TfrmHistory(platform::IPlatform& platform, QWidget* parent)
    : QDialog(parent)
    , fHistory(platform)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(qtr("Save history"));
    fList = new QTreeWidget(this);
    fList->setObjectName(QStringLiteral("lstHistory"));
    fList->setRootIsDecorated(false);
    fList->setHeaderLabels({qtr("Time"), qtr("Scope"), qtr("User"), qtr("Variables"), qtr("By")});
    fEntries = fHistory.List();
    for (const auto& entry : fEntries) {
        QStringList names;
        for (const auto& name : entry.names) {
            names << q(name);
        }
        auto* item = new QTreeWidgetItem({q(entry.time), entry.system ? qtr("System") : qtr("User"), q(entry.user),
                                          names.join(QStringLiteral(", ")),
                                          entry.window ? qtr("Window") : qtr("Command line")});
        item->setToolTip(3, names.join(QLatin1Char('\n')));
        fList->addTopLevelItem(item);
    }
    fList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    fList->header()->setStretchLastSection(false);

    auto* buttons = new QDialogButtonBox(this);
    fRestore = buttons->addButton(qtr("Restore"), QDialogButtonBox::AcceptRole);
    fRestore->setObjectName(QStringLiteral("btnRestore"));
    fRestore->setEnabled(false);
    buttons->addButton(qtr("Close"), QDialogButtonBox::RejectRole);
    connect(fList, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { fRestore->setEnabled(item != nullptr); });
    connect(fList, &QTreeWidget::itemDoubleClicked, fRestore, &QPushButton::click);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        const int row = fList->indexOfTopLevelItem(fList->currentItem());
        if (row >= 0 && size_t(row) < fEntries.size()) {
            fChosen = fEntries[size_t(row)];
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fList);
    layout->addWidget(buttons);
    resize(720, 400);
}

void TfrmHistory::ShowAndRestore(platform::IPlatform& platform, QWidget* parent, TETree& user, TETree& system)
{
    TfrmHistory dialog(platform, parent);
    if (dialog.exec() != QDialog::Accepted || !dialog.Chosen()) {
        return;
    }
    TRegFileContent content;
    TRegFileError error;
    if (!dialog.fHistory.Read(*dialog.Chosen(), content, error)) {
        throw TError(error.Reason);
    }
    RestoreIntoTrees(content, user, system);
}

} // namespace talvoren
