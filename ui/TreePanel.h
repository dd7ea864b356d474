#pragma once

// A tree panel of the main window: a title bar (image, caption, the
// optional restart button, "Collapse All" and "Expand All") above one
// environment tree. The panel cannot be closed, moved or floated.

#include <QWidget>

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace talvoren {

class TTreePanel : public QWidget {
    Q_OBJECT
public:
    TTreePanel(const QString& objectName, int headerImage, QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    QString caption() const;

    // Puts the tree below the title bar (the panel does not own its logic).
    void setContent(QWidget* content);

    // Adds a button to the title bar, right-aligned, before the collapse
    // and expand buttons, with `margin` pixels of space after it. When the
    // title bar is too narrow for its text beside the caption, the button
    // shows its image alone (the text stays its hint).
    void addTitleButton(QToolButton* button, int margin);

    QToolButton* collapseAllButton() const { return fCollapse; }
    QToolButton* expandAllButton() const { return fExpand; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitTitleButton();

    QString fFullCaption;
    QToolButton* fTitleButton = nullptr;
    int fTitleMargin = 0;
    QLabel* fImage;
    QLabel* fCaption;
    QToolButton* fCollapse;
    QToolButton* fExpand;
    QWidget* fTitle;
    QVBoxLayout* fLayout;
};

} // namespace talvoren
