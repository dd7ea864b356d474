#include "ui/FormWhichProgram.h"

#include "base/Translation.h"
#include "model/ETree.h"
#include "model/EffectiveEnvironment.h"
#include "ui/Command.h"
#include "ui/UiText.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace talvoren {

namespace {
constexpr int kWidth = 640;
constexpr int kHeight = 320;
} // namespace

TfrmWhichProgram::TfrmWhichProgram(const TETree& system, const TETree& user, QWidget* parent)
    : QDialog(parent)
    , fSystem(system)
    , fUser(user)
    , lblCommand(new QLabel(qtr("&Command:"), this))
    , edtCommand(new QLineEdit(this))
    , listHits(new QTreeWidget(this))
    , lblResult(new QLabel(this))
{
    setObjectName(QStringLiteral("frmWhichProgram"));
    setWindowTitle(qtr("Which program runs"));
    edtCommand->setObjectName(QStringLiteral("edtCommand"));
    listHits->setObjectName(QStringLiteral("listHits"));
    lblCommand->setBuddy(edtCommand);
    listHits->setRootIsDecorated(false);
    listHits->setHeaderLabels({qtr("File"), qtr("Path element"), qtr("From")});
    listHits->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lblResult->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(qtr("Close"));
    buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(edtCommand, &QLineEdit::textChanged, this, &TfrmWhichProgram::edtCommandChange);
    connect(listHits, &QTreeWidget::itemActivated, this, &TfrmWhichProgram::Choose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCommand);
    layout->addWidget(edtCommand);
    layout->addWidget(listHits, 1);
    layout->addWidget(lblResult);
    layout->addWidget(buttons);
    resize(kWidth, kHeight);
    edtCommandChange();
}

void TfrmWhichProgram::edtCommandChange()
{
    listHits->clear();
    const std::u16string command = fromQ(edtCommand->text());
    if (command.empty()) {
        lblResult->setText(qtr("Type a command, such as \"cmd\" or \"python.exe\"."));
        return;
    }
    const TEffectiveEnvironment environment(fSystem, fUser);
    const auto found = FindPrograms(environment, command, fSystem.Platform().fileSystem());
    for (const auto& hit : found) {
        auto* item = new QTreeWidgetItem(listHits);
        item->setText(0, toQ(hit.file));
        item->setText(2, hit.folder->fromUser ? qtr("User") : qtr("System"));
        if (const TENode* node = hit.folder->node) {
            const TETree& tree = hit.folder->fromUser ? fUser : fSystem;
            item->setText(1, toQ(node->IsVariable() ? tree.GetVariableValue(node) : tree.GetElement(node)));
            item->setData(0, Qt::UserRole, hit.folder->fromUser);
            item->setData(1, Qt::UserRole, toQ(tree.GetVariableName(node)));
            item->setData(2, Qt::UserRole, node->IsVariable() ? -1 : static_cast<int>(node->Row()));
        }
        if (item == listHits->topLevelItem(0)) {
            QFont bold = item->font(0);
            bold.setBold(true);
            item->setFont(0, bold);
        }
    }
    if (found.empty()) {
        lblResult->setText(toQ(trFormat("No program named '%s' is found in Path.", command)));
    } else if (found.size() == 1) {
        lblResult->setText(qtr("This one runs."));
    } else {
        lblResult->setText(qtr("The first one runs; it shadows the others."));
    }
    listHits->setCurrentItem(listHits->topLevelItem(0));
}

void TfrmWhichProgram::Choose()
{
    QTreeWidgetItem* item = listHits->currentItem();
    if (!item || item->data(1, Qt::UserRole).isNull()) {
        return;
    }
    fChoice = {item->data(0, Qt::UserRole).toBool(), fromQ(item->data(1, Qt::UserRole).toString()),
               item->data(2, Qt::UserRole).toInt()};
    accept();
}

void TfrmWhichProgram::keyPressEvent(QKeyEvent* event)
{
    // Enter in the name goes to the hits; Enter on a hit leads to it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (edtCommand->hasFocus() && listHits->topLevelItemCount() > 0) {
            listHits->setFocus();
        } else if (listHits->hasFocus()) {
            Choose();
        }
        return;
    }
    if (edtCommand->hasFocus() && event->key() == Qt::Key_Down && listHits->topLevelItemCount() > 0) {
        listHits->setFocus();
        return;
    }
    QDialog::keyPressEvent(event);
}

TWhichProgramActions::TWhichProgramActions(QWidget* window, TTrees trees, TShowNode showNode)
    : QObject(window)
    , fWindow(window)
    , fTrees(std::move(trees))
    , fShowNode(std::move(showNode))
{
    actEditWhichProgram
        = makeCommand(window, "actEditWhichProgram", "Which program runs...", -1, QKeySequence(Qt::CTRL | Qt::Key_W));
    setCommandHint(actEditWhichProgram, "Which file a command starts, from the Path a new process gets");
    connect(actEditWhichProgram, &QAction::triggered, this, [this] {
        const auto [system, user] = fTrees();
        TfrmWhichProgram form(*system, *user, fWindow);
        form.edit()->setFocus();
        if (form.exec() == QDialog::Accepted && !form.choice().variable.empty()) {
            fShowNode(form.choice().userTree, form.choice().variable, form.choice().elementRow);
        }
    });
}

} // namespace talvoren
