#pragma once

// The information panel: the inspector grid with the details of the focused
// node (name, type, raw and expanded value, path forms, errors and
// warnings), and the legend of the trees' images. The window rebuilds the
// inspector's rows five times a second; TInspector compares them with what
// the grid shows and touches the grid only for a row that really changed,
// so a node that stays as it is costs no repaint.

#include <QAbstractTableModel>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

class QTabWidget;

namespace talvoren {

class TETree;
class TENode;

class TInspectorGrid;

// Image indexes of the panel (the inspector and the legend share them).
enum TPanelImage : int {
    piString = 0,
    piExpandable = 1,
    piReadOnly = 2,
    piError = 3,
    piExclusion = 4, // also the warnings' image
    piCount = 5,
};

// The rows of the inspector: two texts and an image per row.
class TInspector {
public:
    explicit TInspector(TInspectorGrid* grid = nullptr);

    void SetGrid(TInspectorGrid* grid) { fGrid = grid; }
    TInspectorGrid* Grid() const { return fGrid; }

    void BeginUpdate();
    // Fills the next row; a row that holds the same texts and image stays
    // untouched.
    void Add(const std::u16string& col1, const std::u16string& col2, int imageIndex = -1);
    // One row per string, `title` on the first one only; none for an empty list.
    void AddAll(const std::u16string& title, const std::vector<std::u16string>& strings, int imageIndex);
    // Drops the rows the update did not fill; tells the grid only when
    // some row changed.
    void EndUpdate();

    int RowCount() const { return static_cast<int>(fImages.size()); }
    // Empty beyond the end.
    std::u16string Cells(int row, int col) const;
    // -1 beyond the end.
    int Image(int row) const;
    bool IsModified() const { return fModified; }

    // Whether the grid shows images: only while the active tree has a
    // focused node. A change repaints the images.
    void ShowImages(bool shown);
    bool ImagesShown() const { return fImagesShown; }

private:
    TInspectorGrid* fGrid;
    std::vector<std::u16string> fData; // row r: name at 2r, value at 2r + 1
    std::vector<int> fImages;
    bool fModified = false;
    int fCurrentRow = 0;
    // The rows changed by this update, for the grid: [fFirstChanged, fLastChanged].
    int fFirstChanged = -1;
    int fLastChanged = -1;
    bool fImagesShown = false;
};

// Fills the inspector with the rows of `node` of `tree` (Begin/EndUpdate
// included).
void FillInspector(TInspector& inspector, const TETree& tree, const TENode* node);

// The timer's refresh: the rows of the active tree's focused node, while
// the inspector tab is the one shown; otherwise the rows stay as they are.
void RefreshInspector(TInspector& inspector, const TETree* activeTree, bool inspectorShown);

// The item model behind gridInspector: it shows as many rows as the grid has
// been told and asks the window's handlers for texts and images.
class TInspectorGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct THandlers {
        std::function<std::u16string(int row, int col)> getText;
        // -1: no image.
        std::function<int(int row, int col)> getImageIndex;
    };
    explicit TInspectorGridModel(THandlers handlers, QObject* parent = nullptr);

    // The grid's row count becomes `rows`; rows first..last (of the new
    // count) are painted again.
    void SetRowCount(int rows, int first, int last);
    // Every shown image is asked again (the focus left or came back).
    void RepaintImages();
    // The image the cell asks for; -1 for none.
    int ImageIndex(int row, int col) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    THandlers fHandlers;
    int fRows = 0;
};

// The two-column grid: no header, no selection, the second column taking
// the width that is left; a value too long for its cell is shown in full as
// its hint.
class TInspectorGrid : public QTableView {
    Q_OBJECT
public:
    TInspectorGrid(TInspectorGridModel::THandlers handlers, QWidget* parent = nullptr);
    TInspectorGridModel& gridModel() const { return *fModel; }

private:
    TInspectorGridModel* fModel;
};

// The legend: five rows, image i beside the text that explains it,
// translated whenever it paints.
QTableView* CreateLegendGrid(QWidget* parent);

} // namespace talvoren
