// Small controls the main window is built from: a fixed-row owner-drawn list,
// a splitter bar that resizes the panel before it, a status bar of fixed
// panels and a bevel line. Their geometry is set by the owner from pixel
// rules, never by Qt layouts.
#pragma once

#include <QAbstractScrollArea>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QPainter;

// A single-selection list whose rows all have one height and are drawn by the
// owner. The vertical scroll position is the top row index; the horizontal
// one scrolls by pixels over HorizontalExtent.
class TOwnerDrawList : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TOwnerDrawList(QWidget* parent = nullptr);

    // Draws row index into rect (viewport coordinates, full viewport width).
    std::function<void(QPainter&, int index, const QRect& rect, bool selected)> OnDrawItem;
    // Called after the list's own handling (a left press selects the row).
    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QMouseEvent*)> OnMouseMove;
    std::function<void(QMouseEvent*)> OnMouseUp;
    std::function<void()> OnDblClick;
    // Called before the list's own handling; true consumes the key.
    std::function<bool(QKeyEvent*)> OnKeyDown;
    std::function<void(QKeyEvent*)> OnKeyUp;
    std::function<void()> OnExit;

    // The row height: the designed one, or the font's line spacing where the
    // font is taller (so descenders and underscores are not cut).
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int designed);

    int Count() const { return static_cast<int>(items_.size()); }
    const std::string& Item(int index) const { return items_.at(static_cast<size_t>(index)); }
    void AddItem(const std::string& text);
    void Clear();

    // -1 when no row is selected. Setting a row scrolls it into view; an
    // index outside the rows clears the selection.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);

    int TopIndex() const;
    void SetTopIndex(int index);
    // Rows that fit completely in the viewport (at least 1).
    int VisibleRows() const;
    // The row under a viewport y: y div row height + top row, limited to the
    // last row; -1 for an empty list.
    int ItemAtY(int y) const;
    QRect ItemRect(int index) const;

    int HorizontalExtent() const { return horizontalExtent_; }
    void SetHorizontalExtent(int pixels);

    // Suspends repainting until the matching EndUpdate.
    void BeginUpdate();
    void EndUpdate();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void changeEvent(QEvent*) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void UpdateItemHeight();
    void UpdateScrollBars();
    void RepaintRow(int index);
    void Invalidate();
    void EnsureVisible(int index);

    std::vector<std::string> items_;
    int designedHeight_ = 14;
    int itemHeight_ = 14;
    int itemIndex_ = -1;
    int horizontalExtent_ = 0;
    int updateDepth_ = 0;
    bool leftDown_ = false;
};

// A bar between two panels. Dragging it changes the size of the panel before
// it (left or above) within the limits the owner gives; the owner then lays
// the panels out again and is told through OnMoved.
class TSplitterBar : public QWidget {
    Q_OBJECT
public:
    TSplitterBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    std::function<int()> CurrentSize;
    // Largest size the panel may take now.
    std::function<int()> MaxSize;
    std::function<void(int)> SetSize;
    std::function<void()> OnMoved;
    std::function<void()> OnPress;
    int MinSize = 30;

protected:
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    Qt::Orientation orientation_;
    bool dragging_ = false;
    int startPos_ = 0;
    int startSize_ = 0;
};

// A status bar of panels with fixed widths, left to right.
class TStatusPanels : public QWidget {
    Q_OBJECT
public:
    TStatusPanels(std::vector<int> widths, QWidget* parent = nullptr);

    int PanelCount() const { return static_cast<int>(widths_.size()); }
    int PanelWidth(int index) const { return widths_.at(static_cast<size_t>(index)); }
    const std::string& PanelText(int index) const { return texts_.at(static_cast<size_t>(index)); }
    void SetPanelText(int index, const std::string& cp932);

    std::function<void()> OnPress;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    std::vector<int> widths_;
    std::vector<std::string> texts_;
};

// A tool button with a glyph beside its caption that fits the caption into
// whatever width it is given: a narrow gap and margins, then a smaller font,
// and only as a last resort the caption alone, never cut short. Without a
// caption (or set to show the glyph only) it is an ordinary tool button.
class TToolButton : public QToolButton {
    Q_OBJECT
public:
    using QToolButton::QToolButton;

    // Room left and right of the content, between glyph and caption, and the
    // smallest font the caption is drawn in.
    static constexpr int kMargin = 2;
    static constexpr int kGap = 2;
    static constexpr int kMinPixelSize = 10;

    // How the caption is drawn at the current width.
    struct TCaptionFit {
        QFont font;
        bool glyph = true;
    };
    TCaptionFit CaptionFit() const;

protected:
    void paintEvent(QPaintEvent*) override;
};

// A sunken line along the top of its rectangle.
class TBevel : public QWidget {
    Q_OBJECT
public:
    explicit TBevel(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override;
};
