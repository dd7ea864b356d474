#include "ui/dialogs/FormOptions.h"

#include "settings/Options.h"
#include "ui/Icons.h"
#include "ui/UiText.h"
#include "ui/dialogs/FormExclusionVar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace talvoren {

namespace {

QPushButton* buttonFor(QAction* action, QWidget* parent)
{
    auto* button = new QPushButton(action->text(), parent);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
    return button;
}

// Draws a cell's mark in the middle of the cell, as the two switch columns
// want; the style draws the cell itself.
class TCentredMarkDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        const QIcon mark = cell.icon;
        cell.icon = QIcon();
        cell.features &= ~QStyleOptionViewItem::HasDecoration;
        QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, option.widget);
        if (!mark.isNull()) {
            const QRect place = QStyle::alignedRect(cell.direction, Qt::AlignCenter, cell.decorationSize, cell.rect);
            mark.paint(painter, place, Qt::AlignCenter,
                       cell.state & QStyle::State_Enabled ? QIcon::Normal : QIcon::Disabled);
        }
    }
};

} // namespace

TfrmOptions::TfrmOptions(TOptions& options, QWidget* parent)
    : QDialog(parent)
    , fOptions(options)
    , fWorking(std::make_unique<TExclusions>())
{
    setWindowTitle(qtr("Options"));
    setFixedSize(556, 335);
    fWorking->AddAll(options.GetExclusions());

    auto* layout = new QGridLayout(this);
    auto* confirmations = new QGroupBox(qtr(" Confirmations "), this);
    auto* confirmationsLayout = new QVBoxLayout(confirmations);
    cbOnDeleteConfirmation = new QCheckBox(qtr("On &delete"), confirmations);
    cbOnExitConfirmation = new QCheckBox(qtr("On &exit"), confirmations);
    confirmationsLayout->addWidget(cbOnDeleteConfirmation);
    confirmationsLayout->addWidget(cbOnExitConfirmation);
    cbReviewBeforeSave = new QCheckBox(qtr("&Review changes before saving"), confirmations);
    confirmationsLayout->addWidget(cbReviewBeforeSave);
    auto* misc = new QGroupBox(qtr(" Misc "), this);
    auto* miscLayout = new QVBoxLayout(misc);
    cbCheckForUpdates = new QCheckBox(qtr("&Automatically check for new version"), misc);
    cbAnimation = new QCheckBox(qtr("Expand/collapse animation"), misc);
    miscLayout->addWidget(cbCheckForUpdates);
    miscLayout->addWidget(cbAnimation);
    layout->addWidget(confirmations, 0, 0);
    layout->addWidget(misc, 0, 1);

    auto* exclude = new QGroupBox(qtr(" Variables exclude list "), this);
    auto* excludeLayout = new QHBoxLayout(exclude);
    treeVars = new QTreeWidget(exclude);
    treeVars->setRootIsDecorated(false);
    treeVars->setHeaderLabels({qtr("Variable name"), qtr("Do not split"), qtr("Do not validate")});
    treeVars->setColumnWidth(0, 181);
    treeVars->setColumnWidth(1, 100);
    treeVars->setColumnWidth(2, 100);
    treeVars->header()->setDefaultAlignment(Qt::AlignCenter);
    treeVars->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    auto* centred = new TCentredMarkDelegate(treeVars);
    treeVars->setItemDelegateForColumn(1, centred);
    treeVars->setItemDelegateForColumn(2, centred);
    excludeLayout->addWidget(treeVars, 1);
    auto* side = new QVBoxLayout;
    actAdd = new QAction(qtr("Add..."), this);
    actEdit = new QAction(qtr("Edit..."), this);
    actDelete = new QAction(qtr("Delete"), this);
    for (QAction* action : {actAdd, actEdit, actDelete}) {
        side->addWidget(buttonFor(action, exclude));
    }
    side->addStretch();
    excludeLayout->addLayout(side);
    layout->addWidget(exclude, 1, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    auto* btnOk = new QPushButton(qtr("OK"), this);
    btnOk->setDefault(true);
    auto* btnCancel = new QPushButton(qtr("Cancel"), this);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    buttons->addStretch();
    layout->addLayout(buttons, 2, 0, 1, 2);

    cbOnDeleteConfirmation->setChecked(options.onDeleteConfirmation);
    cbOnExitConfirmation->setChecked(options.onExitConfirmation);
    cbCheckForUpdates->setChecked(options.checkForUpdates);
    cbAnimation->setChecked(options.isAnimation);
    cbReviewBeforeSave->setChecked(options.reviewBeforeSave);

    connect(actAdd, &QAction::triggered, this, &TfrmOptions::actAddExecute);
    connect(actEdit, &QAction::triggered, this, &TfrmOptions::actEditExecute);
    connect(actDelete, &QAction::triggered, this, &TfrmOptions::actDeleteExecute);
    connect(treeVars, &QTreeWidget::itemDoubleClicked, this, &TfrmOptions::actEditExecute);
    connect(treeVars, &QTreeWidget::currentItemChanged, this, &TfrmOptions::UpdateActions);
    connect(btnOk, &QPushButton::clicked, this, &TfrmOptions::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FillRows(-1);
}

TfrmOptions::~TfrmOptions() = default;

std::function<void(TfrmOptions&)>& TfrmOptions::testDriver()
{
    static std::function<void(TfrmOptions&)> driver;
    return driver;
}

bool TfrmOptions::createAndShowModal(TOptions& options, QWidget* parent)
{
    TfrmOptions form(options, parent);
    if (testDriver()) {
        testDriver()(form);
    } else {
        form.exec();
    }
    const bool accepted = form.result() == QDialog::Accepted;
    // Saved once the dialog's own loop has ended, so that a failure reaches
    // the caller as an error instead of unwinding through the event loop.
    if (accepted) {
        options.Save();
    }
    return accepted;
}

void TfrmOptions::FillRows(int focusRow)
{
    treeVars->clear();
    const QIcon variable = TIcons::tree(0);
    const QIcon mark = TIcons::tree(4);
    for (size_t i = 0; i < fWorking->Count(); ++i) {
        const TExclusion& entry = fWorking->GetValue(i);
        auto* row = new QTreeWidgetItem(treeVars);
        row->setText(0, toQ(fWorking->GetKey(i)));
        row->setIcon(0, variable);
        if (!entry.isSplit()) {
            row->setIcon(1, mark);
            row->setData(1, Qt::AccessibleTextRole, QStringLiteral("x"));
        }
        if (!entry.isCheck()) {
            row->setIcon(2, mark);
            row->setData(2, Qt::AccessibleTextRole, QStringLiteral("x"));
        }
    }
    if (focusRow >= 0 && focusRow < treeVars->topLevelItemCount()) {
        treeVars->setCurrentItem(treeVars->topLevelItem(focusRow));
    }
    UpdateActions();
}

void TfrmOptions::UpdateActions()
{
    const bool focused = treeVars->currentItem() != nullptr;
    actEdit->setEnabled(focused);
    actDelete->setEnabled(focused);
}

void TfrmOptions::actAddExecute()
{
    // The placeholder makes a new exclusion start with both boxes checked.
    fWorking->Add(u"", false, false);
    if (!TfrmExclusionVar::createAndShowModal(*fWorking, u"", this)) {
        fWorking->Remove(u"");
    }
    FillRows(treeVars->indexOfTopLevelItem(treeVars->currentItem()));
}

void TfrmOptions::actEditExecute()
{
    QTreeWidgetItem* row = treeVars->currentItem();
    if (!row) {
        return;
    }
    const int index = treeVars->indexOfTopLevelItem(row);
    TfrmExclusionVar::createAndShowModal(*fWorking, fromQ(row->text(0)), this);
    FillRows(index);
}

void TfrmOptions::actDeleteExecute()
{
    QTreeWidgetItem* row = treeVars->currentItem();
    if (!row) {
        return;
    }
    const int index = treeVars->indexOfTopLevelItem(row);
    fWorking->Remove(fromQ(row->text(0)));
    // The next row moves into the deleted one's place; after the last, the one before.
    const int count = static_cast<int>(fWorking->Count());
    FillRows(index < count ? index : count - 1);
    treeVars->setFocus();
}

void TfrmOptions::btnOkClick()
{
    fOptions.onDeleteConfirmation = cbOnDeleteConfirmation->isChecked();
    fOptions.onExitConfirmation = cbOnExitConfirmation->isChecked();
    fOptions.checkForUpdates = cbCheckForUpdates->isChecked();
    fOptions.isAnimation = cbAnimation->isChecked();
    fOptions.reviewBeforeSave = cbReviewBeforeSave->isChecked();
    fOptions.GetExclusions().Clear();
    fOptions.GetExclusions().AddAll(*fWorking);
    accept();
}

} // namespace talvoren
