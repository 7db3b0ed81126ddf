#include "ui/UControls.h"

#include <qdrawutil.h>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionToolButton>
#include <algorithm>

#include "ui/QtText.h"

// --- TOwnerDrawList ------------------------------------------------------------

TOwnerDrawList::TOwnerDrawList(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(8);
    UpdateScrollBars();
}

void TOwnerDrawList::SetItemHeight(int designed) {
    designedHeight_ = std::max(1, designed);
    UpdateItemHeight();
}

void TOwnerDrawList::UpdateItemHeight() {
    // The designed heights fit the fonts they were made for; the fonts that
    // stand in for them may need more room below the baseline.
    itemHeight_ = std::max(designedHeight_, QFontMetrics(font()).lineSpacing());
    UpdateScrollBars();
    Invalidate();
}

void TOwnerDrawList::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) UpdateItemHeight();
}

void TOwnerDrawList::AddItem(const std::string& text) {
    items_.push_back(text);
    // Between BeginUpdate and EndUpdate (a whole run's pages) the scroll
    // bars are set once at the end.
    if (updateDepth_ == 0) UpdateScrollBars();
    RepaintRow(Count() - 1);
}

void TOwnerDrawList::Clear() {
    items_.clear();
    itemIndex_ = -1;
    UpdateScrollBars();
    verticalScrollBar()->setValue(0);
    Invalidate();
}

void TOwnerDrawList::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) index = -1;
    if (index == itemIndex_) {
        if (index >= 0) EnsureVisible(index);
        return;
    }
    const int old = itemIndex_;
    itemIndex_ = index;
    RepaintRow(old);
    RepaintRow(index);
    if (index >= 0) EnsureVisible(index);
}

int TOwnerDrawList::TopIndex() const { return verticalScrollBar()->value(); }

void TOwnerDrawList::SetTopIndex(int index) {
    verticalScrollBar()->setValue(std::clamp(index, 0, verticalScrollBar()->maximum()));
}

int TOwnerDrawList::VisibleRows() const { return std::max(1, viewport()->height() / itemHeight_); }

int TOwnerDrawList::ItemAtY(int y) const {
    if (items_.empty()) return -1;
    const int row = (y >= 0 ? y / itemHeight_ : -1) + TopIndex();
    return std::clamp(row, 0, Count() - 1);
}

QRect TOwnerDrawList::ItemRect(int index) const {
    const int x = -horizontalScrollBar()->value();
    const int width = std::max(viewport()->width() - x, horizontalExtent_);
    return QRect(x, (index - TopIndex()) * itemHeight_, width, itemHeight_);
}

void TOwnerDrawList::SetHorizontalExtent(int pixels) {
    horizontalExtent_ = std::max(0, pixels);
    UpdateScrollBars();
    Invalidate();
}

void TOwnerDrawList::BeginUpdate() { ++updateDepth_; }

void TOwnerDrawList::EndUpdate() {
    if (updateDepth_ > 0 && --updateDepth_ == 0) {
        UpdateScrollBars();
        Invalidate();
    }
}

void TOwnerDrawList::UpdateScrollBars() {
    QScrollBar* v = verticalScrollBar();
    const int rows = VisibleRows();
    v->setPageStep(rows);
    v->setRange(0, std::max(0, Count() - rows));
    QScrollBar* h = horizontalScrollBar();
    const int width = viewport()->width();
    h->setPageStep(std::max(1, width));
    h->setRange(0, std::max(0, horizontalExtent_ - width));
}

void TOwnerDrawList::RepaintRow(int index) {
    if (updateDepth_ > 0 || index < 0 || index >= Count()) return;
    const QRect r = ItemRect(index);
    if (r.bottom() < 0 || r.top() >= viewport()->height()) return;
    viewport()->update(QRect(0, r.top(), viewport()->width(), r.height()));
}

void TOwnerDrawList::Invalidate() {
    if (updateDepth_ == 0) viewport()->update();
}

void TOwnerDrawList::EnsureVisible(int index) {
    const int top = TopIndex();
    const int rows = VisibleRows();
    if (index < top) SetTopIndex(index);
    else if (index >= top + rows) SetTopIndex(index - rows + 1);
}

void TOwnerDrawList::paintEvent(QPaintEvent* event) {
    if (updateDepth_ > 0) return;
    QPainter painter(viewport());
    painter.setClipRegion(event->region());
    const QPalette& pal = palette();
    const int top = TopIndex();
    const int last = std::min(Count() - 1, top + viewport()->height() / itemHeight_);
    for (int i = top; i <= last; ++i) {
        const QRect rect = ItemRect(i);
        if (!event->region().intersects(QRect(0, rect.top(), viewport()->width(), rect.height()))) continue;
        const bool selected = i == itemIndex_;
        painter.save();
        painter.setFont(font());
        painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.setBrush(pal.color(selected ? QPalette::Highlight : QPalette::Base));
        painter.setBackground(pal.color(selected ? QPalette::Highlight : QPalette::Base));
        if (OnDrawItem) {
            OnDrawItem(painter, i, rect, selected);
        } else {
            painter.fillRect(rect, painter.brush());
            painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop, Q(items_[static_cast<size_t>(i)]));
        }
        painter.restore();
        if (selected && hasFocus()) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = QRect(0, rect.top(), viewport()->width(), rect.height());
            option.backgroundColor = pal.color(QPalette::Highlight);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
        }
    }
}

void TOwnerDrawList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void TOwnerDrawList::scrollContentsBy(int, int) { Invalidate(); }

void TOwnerDrawList::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftDown_ = true;
        if (!items_.empty()) SetItemIndex(ItemAtY(event->position().toPoint().y()));
    }
    if (OnMouseDown) OnMouseDown(event);
}

void TOwnerDrawList::mouseMoveEvent(QMouseEvent* event) {
    if (leftDown_ && (event->buttons() & Qt::LeftButton) && !items_.empty()) {
        // Dragging past an edge selects the row beyond it, one at a time.
        const int y = event->position().toPoint().y();
        int row;
        if (y < 0) row = std::max(0, TopIndex() - 1);
        else if (y >= viewport()->height()) row = std::min(Count() - 1, TopIndex() + VisibleRows());
        else row = ItemAtY(y);
        SetItemIndex(row);
    }
    if (OnMouseMove) OnMouseMove(event);
}

void TOwnerDrawList::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) leftDown_ = false;
    if (OnMouseUp) OnMouseUp(event);
}

void TOwnerDrawList::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
    if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick();
}

void TOwnerDrawList::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown && OnKeyDown(event)) {
        event->accept();
        return;
    }
    if (items_.empty() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        event->ignore();
        return;
    }
    const int sel = itemIndex_;
    int row;
    switch (event->key()) {
        case Qt::Key_Up:
            row = sel < 0 ? 0 : std::max(0, sel - 1);
            break;
        case Qt::Key_Down:
            row = sel < 0 ? 0 : std::min(Count() - 1, sel + 1);
            break;
        case Qt::Key_PageUp:
            row = std::max(0, (sel < 0 ? 0 : sel) - (VisibleRows() - 1));
            break;
        case Qt::Key_PageDown:
            row = std::min(Count() - 1, (sel < 0 ? 0 : sel) + (VisibleRows() - 1));
            break;
        case Qt::Key_Home:
            row = 0;
            break;
        case Qt::Key_End:
            row = Count() - 1;
            break;
        default:
            event->ignore();
            return;
    }
    SetItemIndex(row);
    event->accept();
}

void TOwnerDrawList::keyReleaseEvent(QKeyEvent* event) {
    if (OnKeyUp) OnKeyUp(event);
    event->ignore();
}

void TOwnerDrawList::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    RepaintRow(itemIndex_);
    if (OnExit) OnExit();
}

// --- TSplitterBar ------------------------------------------------------------------

TSplitterBar::TSplitterBar(Qt::Orientation orientation, QWidget* parent) : QWidget(parent), orientation_(orientation) {
    setCursor(orientation == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
}

void TSplitterBar::mousePressEvent(QMouseEvent* event) {
    if (OnPress) OnPress();
    if (event->button() != Qt::LeftButton || !CurrentSize) return;
    dragging_ = true;
    const QPointF p = event->globalPosition();
    startPos_ = static_cast<int>(orientation_ == Qt::Horizontal ? p.x() : p.y());
    startSize_ = CurrentSize();
}

void TSplitterBar::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !SetSize) return;
    const QPointF p = event->globalPosition();
    const int pos = static_cast<int>(orientation_ == Qt::Horizontal ? p.x() : p.y());
    int size = startSize_ + pos - startPos_;
    const int maxSize = MaxSize ? MaxSize() : size;
    if (size < MinSize) size = MinSize;
    else if (size > maxSize) size = std::max(MinSize, maxSize);
    if (size == CurrentSize()) return;
    SetSize(size);
    if (OnMoved) OnMoved();
}

void TSplitterBar::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

// --- TStatusPanels -------------------------------------------------------------------

TStatusPanels::TStatusPanels(std::vector<int> widths, QWidget* parent)
    : QWidget(parent), widths_(std::move(widths)), texts_(widths_.size()) {}

void TStatusPanels::SetPanelText(int index, const std::string& cp932) {
    std::string& text = texts_.at(static_cast<size_t>(index));
    if (text == cp932) return;
    text = cp932;
    update();
}

void TStatusPanels::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    int x = 0;
    for (size_t i = 0; i < widths_.size(); ++i) {
        const QRect panel(x, 2, widths_[i] - 2, height() - 2);
        qDrawShadePanel(&painter, panel, palette(), true, 1);
        painter.setClipRect(panel.adjusted(1, 1, -1, -1));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(panel.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, Q(texts_[i]));
        painter.setClipping(false);
        x += widths_[i];
    }
}

void TStatusPanels::mousePressEvent(QMouseEvent* event) {
    if (OnPress) OnPress();
    QWidget::mousePressEvent(event);
}

// --- TToolButton -------------------------------------------------------------------------

TToolButton::TCaptionFit TToolButton::CaptionFit() const {
    const int room = width() - 2 * kMargin;
    const int glyph = iconSize().width() + kGap;
    const QString caption = text();
    TCaptionFit fit{font(), true};
    const int own = font().pixelSize() > 0 ? font().pixelSize() : QFontInfo(font()).pixelSize();
    const int full = std::max(kMinPixelSize, own);
    auto fits = [&](int pixels, int extra) {
        fit.font.setPixelSize(pixels);
        return QFontMetrics(fit.font).horizontalAdvance(caption) + extra <= room;
    };
    for (int pixels = full; pixels >= kMinPixelSize; --pixels)
        if (fits(pixels, glyph)) return fit;
    // Too narrow for both: the caption is what tells the buttons apart.
    fit.glyph = false;
    for (int pixels = full; pixels > kMinPixelSize; --pixels)
        if (fits(pixels, 0)) return fit;
    fit.font.setPixelSize(kMinPixelSize);
    return fit;
}

void TToolButton::paintEvent(QPaintEvent* event) {
    if (text().isEmpty() || toolButtonStyle() == Qt::ToolButtonIconOnly) {
        QToolButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // The style draws the button itself; the label is placed here, since
    // the style would elide the caption rather than fit it.
    option.text.clear();
    option.icon = QIcon();
    option.toolButtonStyle = Qt::ToolButtonIconOnly;
    style()->drawComplexControl(QStyle::CC_ToolButton, &option, &painter, this);

    const TCaptionFit fit = CaptionFit();
    const QSize glyphSize = iconSize();
    const int textWidth = QFontMetrics(fit.font).horizontalAdvance(text());
    const int contentWidth = textWidth + (fit.glyph ? glyphSize.width() + kGap : 0);
    int x = std::max(kMargin, (width() - contentWidth) / 2);
    int dy = 0;
    if (option.state & (QStyle::State_Sunken | QStyle::State_On)) {
        x += style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this);
        dy = style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this);
    }
    if (fit.glyph) {
        const QRect glyphRect(x, (height() - glyphSize.height()) / 2 + dy, glyphSize.width(), glyphSize.height());
        icon().paint(&painter, glyphRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        x += glyphSize.width() + kGap;
    }
    painter.setFont(fit.font);
    style()->drawItemText(&painter, QRect(x, dy, textWidth, height()), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                          isEnabled(), text(), QPalette::ButtonText);
}

// --- TBevel -------------------------------------------------------------------------------

void TBevel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(0, 1, width() - 1, 1);
}
