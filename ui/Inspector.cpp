#include "ui/Inspector.h"

#include "base/Translation.h"
#include "model/ETree.h"
#include "model/NodeInfo.h"
#include "model/PathChecks.h"
#include "ui/ETreeDelegate.h"
#include "ui/ETreeModel.h"
#include "ui/Icons.h"
#include "ui/UiText.h"

#include <QHeaderView>
#include <algorithm>

namespace talvoren {

namespace {
constexpr int kNameColumnWidth = 150;
constexpr int kValueColumnWidth = 475;
constexpr int kLegendWidth = 625;
// A hint line breaks after this many characters when the text offers no
// separator to break at (a long path without blanks).
constexpr int kHintRun = 40;

// Translated when painted, so the grid follows a change of language.
const char* const kLegendTexts[piCount] = {
    trNoop("A text string"),
    trNoop("An expandable string is a string that contains unexpanded references to environment variables (for "
           "example, '%PATH%')"),
    trNoop("Special read-only variable"),
    trNoop("Variable contains errors (invalid path or you have no access to it, value exceeds length limit, etc)"),
    trNoop("Variable is in the exclude list"),
};

// The hint of a value: the whole text, wrapped. Rich text wraps at blanks
// only, so a break opportunity (zero-width space) follows every separator
// of a path list and every long run without one.
QString WrappedHint(const QString& text)
{
    QString out;
    int run = 0;
    for (const QChar c : text) {
        out += c;
        ++run;
        if (c == QLatin1Char(';') || c == QLatin1Char('\\') || c == QLatin1Char('/') || c.isSpace()) {
            run = 0;
            if (!c.isSpace()) {
                out += QChar(0x200B);
            }
        } else if (run >= kHintRun) {
            run = 0;
            out += QChar(0x200B);
        }
    }
    return QStringLiteral("<qt>") + out.toHtmlEscaped() + QStringLiteral("</qt>");
}

class TLegendModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    // One row per image, then the two warnings shown in the warning colour.
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : piCount + 2; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid()) {
            return {};
        }
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            // Asked at every paint, so a change of language shows at once.
            return index.row() < piCount ? qtr(kLegendTexts[index.row()])
                : index.row() == piCount ? qtr("Also in the system Path, which is searched first")
                                         : qtr("A reference that stays as written: to a variable Windows defines "
                                               "after the system variables, or in a text string");
        case Qt::DecorationRole:
            return TIcons::tree(index.row() < piCount ? index.row() : int(piExclusion));
        case Qt::ForegroundRole:
            return index.row() < piCount ? QVariant() : QVariant(WarningColor());
        default:
            return {};
        }
    }
};

void SetUpGrid(QTableView* grid)
{
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // One line of text per row, as compact as a grid's rows are.
    const int iconHeight = 16;
    grid->verticalHeader()->setDefaultSectionSize(std::max(grid->fontMetrics().height(), iconHeight) + 4);
    grid->setIconSize(QSize(iconHeight, iconHeight));
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setShowGrid(true);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    // Row text colours readable in every skin.
    grid->setItemDelegate(new TReadableItemDelegate(grid));
}
} // namespace

// --- TInspector ----------------------------------------------------------------

TInspector::TInspector(TInspectorGrid* grid)
    : fGrid(grid)
{
}

void TInspector::BeginUpdate()
{
    fModified = false;
    fCurrentRow = 0;
    fFirstChanged = fLastChanged = -1;
}

void TInspector::Add(const std::u16string& col1, const std::u16string& col2, int imageIndex)
{
    const int row = fCurrentRow++;
    if (row < RowCount()) {
        bool changed = false;
        auto store = [&](std::u16string& cell, const std::u16string& text) {
            if (cell != text) {
                cell = text;
                changed = true;
            }
        };
        store(fData[2 * row], col1);
        store(fData[2 * row + 1], col2);
        if (fImages[row] != imageIndex) {
            fImages[row] = imageIndex;
            changed = true;
        }
        if (changed) {
            fModified = true;
            fFirstChanged = fFirstChanged < 0 ? row : fFirstChanged;
            fLastChanged = row;
        }
        return;
    }
    fData.push_back(col1);
    fData.push_back(col2);
    fImages.push_back(imageIndex);
    fModified = true;
}

void TInspector::AddAll(const std::u16string& title, const std::vector<std::u16string>& strings, int imageIndex)
{
    for (size_t i = 0; i < strings.size(); ++i) {
        Add(i == 0 ? title : std::u16string(), strings[i], imageIndex);
    }
}

void TInspector::EndUpdate()
{
    if (fCurrentRow < RowCount()) {
        fData.resize(2 * static_cast<size_t>(fCurrentRow));
        fImages.resize(static_cast<size_t>(fCurrentRow));
        fModified = true;
    }
    if (fModified && fGrid) {
        fGrid->gridModel().SetRowCount(RowCount(), fFirstChanged, fLastChanged);
    }
}

std::u16string TInspector::Cells(int row, int col) const
{
    const size_t at = 2 * static_cast<size_t>(row) + static_cast<size_t>(col);
    return row >= 0 && col >= 0 && col < 2 && at < fData.size() ? fData[at] : std::u16string();
}

int TInspector::Image(int row) const
{
    return row >= 0 && row < RowCount() ? fImages[row] : -1;
}

void TInspector::ShowImages(bool shown)
{
    if (shown != fImagesShown) {
        fImagesShown = shown;
        if (fGrid) {
            fGrid->gridModel().RepaintImages();
        }
    }
}

void RefreshInspector(TInspector& inspector, const TETree* activeTree, bool inspectorShown)
{
    const TENode* focused = activeTree ? activeTree->GetFocusedNode() : nullptr;
    inspector.ShowImages(focused != nullptr);
    if (focused && inspectorShown) {
        FillInspector(inspector, *activeTree, focused);
    }
}

void FillInspector(TInspector& inspector, const TETree& tree, const TENode* node)
{
    inspector.BeginUpdate();
    const bool readOnly = tree.GetVariableReadOnly(node);
    const bool isString = tree.GetVariableType(node) == kDataTypeString;
    const std::u16string type = readOnly ? tr("Read-only string") : (isString ? tr("String") : tr("Expandable string"));
    inspector.Add(tr("Variable name"), tree.GetVariableName(node));
    if (node->IsVariable()) {
        inspector.Add(tr("Type"), type, readOnly ? piReadOnly : (isString ? piString : piExpandable));
        inspector.Add(tr("Value"), tree.GetVariableValue(node));
        if (!isString) {
            inspector.Add(tr("Expanded value"), tree.GetVariableValueEx(node));
        }
    } else {
        const std::u16string& text = tree.GetElement(node);
        inspector.Add(tr("Type"), type);
        inspector.Add(tr("Value"), text);
        if (!isString) {
            inspector.Add(tr("Expanded value"), tree.GetElementEx(node));
        }
        if (IsPath(text)) {
            platform::IFileSystem& fs = tree.Platform().fileSystem();
            const std::u16string shortForm = ToShortPath(text, fs);
            const std::u16string longForm = ToLongPath(text, fs);
            if (shortForm != text) {
                inspector.Add(tr("Short path"), shortForm);
            }
            if (longForm != text) {
                inspector.Add(tr("Long path"), longForm);
            }
        }
    }
    inspector.AddAll(tr("Error(s)"), tree.GetNodeErrors(node), piError);
    inspector.AddAll(tr("Warning(s)"), tree.GetNodeWarnings(node), piExclusion);
    inspector.EndUpdate();
}

// --- the grids -----------------------------------------------------------------

TInspectorGridModel::TInspectorGridModel(THandlers handlers, QObject* parent)
    : QAbstractTableModel(parent)
    , fHandlers(std::move(handlers))
{
}

void TInspectorGridModel::SetRowCount(int rows, int first, int last)
{
    if (rows > fRows) {
        beginInsertRows({}, fRows, rows - 1);
        fRows = rows;
        endInsertRows();
    } else if (rows < fRows) {
        beginRemoveRows({}, rows, fRows - 1);
        fRows = rows;
        endRemoveRows();
    }
    last = std::min(last, fRows - 1);
    if (first >= 0 && first <= last) {
        emit dataChanged(index(first, 0), index(last, 1));
    }
}

void TInspectorGridModel::RepaintImages()
{
    if (fRows > 0) {
        emit dataChanged(index(0, 1), index(fRows - 1, 1), {Qt::DecorationRole});
    }
}

int TInspectorGridModel::ImageIndex(int row, int col) const
{
    return fHandlers.getImageIndex ? fHandlers.getImageIndex(row, col) : -1;
}

int TInspectorGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : fRows;
}

int TInspectorGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TInspectorGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return fHandlers.getText ? toQ(fHandlers.getText(index.row(), index.column())) : QString();
    case Qt::ToolTipRole: {
        // Long values do not fit their cell: the hint holds all of it.
        const QString text = fHandlers.getText ? toQ(fHandlers.getText(index.row(), index.column())) : QString();
        return text.isEmpty() ? QVariant() : QVariant(WrappedHint(text));
    }
    case Qt::DecorationRole: {
        const int image = ImageIndex(index.row(), index.column());
        return image >= 0 && image < piCount ? QVariant(TIcons::tree(image)) : QVariant();
    }
    default:
        return {};
    }
}

TInspectorGrid::TInspectorGrid(TInspectorGridModel::THandlers handlers, QWidget* parent)
    : QTableView(parent)
    , fModel(new TInspectorGridModel(std::move(handlers), this))
{
    setObjectName(QStringLiteral("gridInspector"));
    setModel(fModel);
    SetUpGrid(this);
    // Odd rows are shaded across the whole width, in the skin's colour.
    setAlternatingRowColors(true);
    setColumnWidth(0, kNameColumnWidth);
    setColumnWidth(1, kValueColumnWidth);
    // The value column takes whatever width the name column leaves.
    horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    setTextElideMode(Qt::ElideRight);
}

QTableView* CreateLegendGrid(QWidget* parent)
{
    auto* grid = new QTableView(parent);
    grid->setObjectName(QStringLiteral("gridLegend"));
    grid->setModel(new TLegendModel(grid));
    SetUpGrid(grid);
    grid->setColumnWidth(0, kLegendWidth);
    return grid;
}

} // namespace talvoren
