#include "ui/dialogs/FormSaveReview.h"

#include "base/Translation.h"
#include "model/NodeInfo.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace talvoren {

namespace {

constexpr int kEntryRole = Qt::UserRole + 1;

QString typeName(uint8_t type)
{
    return type == kDataTypeExpandString ? QStringLiteral("REG_EXPAND_SZ") : QStringLiteral("REG_SZ");
}

QString number(size_t count)
{
    return QString::number(static_cast<qulonglong>(count));
}

QString changeText(const TReviewEntry& entry)
{
    if (entry.kind == TReviewKind::Added) {
        return qtr("added") + QStringLiteral(" (") + typeName(entry.newType) + QLatin1Char(')');
    }
    if (entry.kind == TReviewKind::Deleted) {
        return qtr("deleted");
    }
    QStringList parts;
    if (entry.renamed) {
        parts << toQ(trFormat("renamed from %s", entry.oldName));
    }
    if (entry.retyped) {
        parts << toQ(formatText(tr("type %s to %s"), {fromQ(typeName(entry.oldType)), fromQ(typeName(entry.newType))}));
    }
    if (entry.valueChanged) {
        if (entry.split) {
            parts << toQ(
                formatText(tr("elements: %s added, %s removed, %s moved"),
                           {fromQ(number(entry.elementsAdded.size())), fromQ(number(entry.elementsRemoved.size())),
                            fromQ(number(entry.elementsMoved.size()))}));
        } else {
            parts << qtr("value changed");
        }
    }
    return parts.join(QStringLiteral(", "));
}

QString conflictText(const TReviewEntry& entry)
{
    if (!entry.conflict) {
        return {};
    }
    switch (entry.answer) {
    case TReviewAnswer::Write:
        return qtr("changed by another program: write mine");
    case TReviewAnswer::Keep:
        return qtr("changed by another program: keep stored");
    case TReviewAnswer::None:
        break;
    }
    return qtr("changed by another program: answer needed");
}

QString shown(const std::u16string& value)
{
    return value.empty() ? qtr("(empty)") : toQ(value);
}

} // namespace

TfrmSaveReview::TfrmSaveReview(TSaveReview& system, TSaveReview& user, QWidget* parent)
    : QDialog(parent ? parent : QApplication::activeWindow())
    , fSystemReview(system)
    , fUserReview(user)
{
    setWindowTitle(qtr("Review changes"));
    resize(760, 520);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(qtr("This save writes the following changes. Enter saves, Esc cancels."), this));

    auto* splitter = new QSplitter(Qt::Vertical, this);
    listChanges = new QTreeWidget(splitter);
    listChanges->setObjectName(QStringLiteral("listChanges"));
    listChanges->setHeaderLabels({qtr("Variable"), qtr("Change"), qtr("Another program")});
    listChanges->setUniformRowHeights(true);
    listChanges->setColumnWidth(0, 220);
    listChanges->setColumnWidth(1, 260);
    memoDetails = new QPlainTextEdit(splitter);
    memoDetails->setObjectName(QStringLiteral("memoDetails"));
    memoDetails->setReadOnly(true);
    memoDetails->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);

    auto* conflictBox = new QGroupBox(qtr("Changed by another program since it was loaded"), this);
    auto* conflictLayout = new QHBoxLayout(conflictBox);
    rbWriteMine = new QRadioButton(qtr("&Write my version"), conflictBox);
    rbKeepStored = new QRadioButton(qtr("&Keep the stored value"), conflictBox);
    conflictLayout->addWidget(rbWriteMine);
    conflictLayout->addWidget(rbKeepStored);
    conflictLayout->addStretch();
    layout->addWidget(conflictBox);
    conflictBox->setVisible(system.ConflictCount() + user.ConflictCount() > 0);
    // Exclusive by hand: a row without an answer shows neither checked.
    for (QRadioButton* button : {rbWriteMine, rbKeepStored}) {
        button->setAutoExclusive(false);
    }

    auto* buttons = new QHBoxLayout;
    lblPending = new QLabel(this);
    buttons->addWidget(lblPending, 1);
    btnSave = new QPushButton(qtr("&Save"), this);
    btnSave->setDefault(true);
    btnSave->setAutoDefault(true);
    auto* btnCancel = new QPushButton(qtr("Cancel"), this);
    btnCancel->setAutoDefault(false);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    QTreeWidgetItem* first = nullptr;
    QTreeWidgetItem* firstConflict = nullptr;
    for (int scope = 0; scope < 2; ++scope) {
        TSaveReview& review = scope == 0 ? system : user;
        if (review.entries.empty()) {
            continue;
        }
        auto* group = new QTreeWidgetItem(QStringList{(scope == 0 ? qtr("System Variables") : qtr("User Variables"))
                                                      + QStringLiteral(" (") + number(review.entries.size())
                                                      + QLatin1Char(')')});
        QList<QTreeWidgetItem*> rows;
        rows.reserve(static_cast<qsizetype>(review.entries.size()));
        for (TReviewEntry& entry : review.entries) {
            auto* row = new QTreeWidgetItem(QStringList{toQ(entry.name), changeText(entry), conflictText(entry)});
            row->setData(0, kEntryRole, static_cast<qulonglong>(fEntries.size()));
            if (entry.conflict) {
                row->setIcon(0, warning);
                if (!firstConflict) {
                    firstConflict = row;
                }
            }
            fEntries.push_back(&entry);
            fSystem.push_back(scope == 0);
            rows.append(row);
            if (!first) {
                first = row;
            }
        }
        group->addChildren(rows);
        listChanges->addTopLevelItem(group);
        group->setFirstColumnSpanned(true);
        group->setExpanded(true);
        fScopeItems[scope] = group;
    }

    connect(listChanges, &QTreeWidget::currentItemChanged, this, &TfrmSaveReview::ShowDetails);
    connect(rbWriteMine, &QRadioButton::clicked, this, [this] { Answer(TReviewAnswer::Write); });
    connect(rbKeepStored, &QRadioButton::clicked, this, [this] { Answer(TReviewAnswer::Keep); });
    connect(btnSave, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    listChanges->setCurrentItem(firstConflict ? firstConflict : first);
    listChanges->setFocus();
    ShowDetails();
    UpdatePending();
}

TfrmSaveReview::~TfrmSaveReview() = default;

std::function<void(TfrmSaveReview&)>& TfrmSaveReview::testDriver()
{
    static std::function<void(TfrmSaveReview&)> driver;
    return driver;
}

bool TfrmSaveReview::createAndShowModal(TSaveReview& system, TSaveReview& user, QWidget* parent)
{
    TfrmSaveReview form(system, user, parent);
    if (testDriver()) {
        testDriver()(form);
    } else {
        form.exec();
    }
    return form.result() == QDialog::Accepted && system.UnansweredCount() == 0 && user.UnansweredCount() == 0;
}

QTreeWidgetItem* TfrmSaveReview::scopeItem(int scope) const
{
    return scope == 0 || scope == 1 ? fScopeItems[scope] : nullptr;
}

TReviewEntry* TfrmSaveReview::entryOf(const QTreeWidgetItem* item) const
{
    if (!item || !item->parent()) {
        return nullptr;
    }
    const auto index = item->data(0, kEntryRole).toULongLong();
    return index < fEntries.size() ? fEntries[index] : nullptr;
}

void TfrmSaveReview::ShowDetails()
{
    QTreeWidgetItem* item = listChanges->currentItem();
    const TReviewEntry* entry = entryOf(item);
    rbWriteMine->setEnabled(entry && entry->conflict);
    rbKeepStored->setEnabled(entry && entry->conflict);
    rbWriteMine->setChecked(entry && entry->answer == TReviewAnswer::Write);
    rbKeepStored->setChecked(entry && entry->answer == TReviewAnswer::Keep);
    if (!entry) {
        memoDetails->clear();
        return;
    }
    QString text = toQ(entry->name) + QStringLiteral(": ") + changeText(*entry) + QStringLiteral("\n");
    // What another program stored comes first: it is what the answer is about.
    if (entry->conflict) {
        text += QStringLiteral("\n") + qtr("Stored now by another program:") + QStringLiteral("\n");
        if (!entry->storedExists) {
            text += qtr("(deleted by the other program)");
        } else if (!entry->storedIsText) {
            text += qtr("(not a text value)");
        } else {
            text += shown(entry->stored);
        }
        text += QStringLiteral("\n");
    }
    auto list = [&text](const QString& caption, const std::vector<std::u16string>& elements, const QString& mark) {
        if (elements.empty()) {
            return;
        }
        text += QStringLiteral("\n") + caption + QStringLiteral("\n");
        for (const auto& element : elements) {
            text += QStringLiteral("  ") + mark + QLatin1Char(' ') + shown(element) + QStringLiteral("\n");
        }
    };
    list(qtr("Elements added:"), entry->elementsAdded, QStringLiteral("+"));
    list(qtr("Elements removed:"), entry->elementsRemoved, QStringLiteral("\u2212"));
    list(qtr("Elements moved:"), entry->elementsMoved, QStringLiteral("\u2195"));
    if (entry->kind != TReviewKind::Added) {
        text += QStringLiteral("\n") + toQ(trFormat("Before (%s):", fromQ(typeName(entry->oldType))))
            + QStringLiteral("\n") + shown(entry->oldValue) + QStringLiteral("\n");
    }
    text += QStringLiteral("\n");
    if (entry->kind == TReviewKind::Deleted) {
        text += qtr("The variable is deleted.") + QStringLiteral("\n");
    } else {
        text += toQ(trFormat("To be written (%s):", fromQ(typeName(entry->newType)))) + QStringLiteral("\n")
            + shown(entry->newValue) + QStringLiteral("\n");
    }
    memoDetails->setPlainText(text);
}

void TfrmSaveReview::Answer(TReviewAnswer answer)
{
    QTreeWidgetItem* item = listChanges->currentItem();
    TReviewEntry* entry = entryOf(item);
    if (!entry || !entry->conflict) {
        return;
    }
    entry->answer = answer;
    rbWriteMine->setChecked(answer == TReviewAnswer::Write);
    rbKeepStored->setChecked(answer == TReviewAnswer::Keep);
    UpdateRow(item);
    UpdatePending();
}

void TfrmSaveReview::UpdateRow(QTreeWidgetItem* item)
{
    if (const TReviewEntry* entry = entryOf(item)) {
        item->setText(2, conflictText(*entry));
    }
}

void TfrmSaveReview::UpdatePending()
{
    const size_t pending = fSystemReview.UnansweredCount() + fUserReview.UnansweredCount();
    btnSave->setEnabled(pending == 0);
    lblPending->setText(pending == 0 ? QString()
                                     : toQ(trFormat("Values changed by another program still without an answer: %s",
                                                    fromQ(number(pending)))));
}

} // namespace talvoren
