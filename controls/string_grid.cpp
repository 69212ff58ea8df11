#include "controls/string_grid.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <algorithm>

StringGrid::StringGrid(int colCount, int rowCount, QWidget* parent)
    : QWidget(parent), cols_(std::max(colCount, 1)), rows_(std::max(rowCount, 1)),
      cells_(static_cast<std::size_t>(cols_) * rows_), marks_(cells_.size()) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixed(1, 1);
}

void StringGrid::setFixed(int cols, int rows) {
    fixedCols_ = std::clamp(cols, 0, cols_ - 1);
    fixedRows_ = std::clamp(rows, 0, rows_ - 1);
    col_ = std::max(col_, fixedCols_);
    row_ = std::max(row_, fixedRows_);
    update();
}

void StringGrid::setDefaultColWidth(int w) {
    colWidth_ = std::max(w, 1);
    updateGeometry();
    update();
}

void StringGrid::setDefaultRowHeight(int h) {
    rowHeight_ = std::max(h, 1);
    updateGeometry();
    update();
}

QString StringGrid::cell(int col, int row) const {
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return {};
    return cells_[static_cast<std::size_t>(row) * cols_ + col];
}

void StringGrid::setCell(int col, int row, const QString& text) {
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return;
    QString& slot = cells_[static_cast<std::size_t>(row) * cols_ + col];
    if (slot == text) return;
    slot = text;
    update(cellRect(col, row));
}

void StringGrid::setMarked(int col, int row, bool marked) {
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return;
    const std::size_t at = static_cast<std::size_t>(row) * cols_ + col;
    if (marks_[at] == marked) return;
    marks_[at] = marked;
    update(cellRect(col, row));
}

bool StringGrid::marked(int col, int row) const {
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return false;
    return marks_[static_cast<std::size_t>(row) * cols_ + col];
}

bool StringGrid::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QWidget::event(e);
    auto* help = static_cast<QHelpEvent*>(e);
    int col = 0, row = 0;
    const QString tip =
        tipSource_ && cellAt(help->pos(), col, row) ? tipSource_(col, row) : QString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        e->ignore();
    } else {
        QToolTip::showText(help->globalPos(), tip, this, cellRect(col, row));
    }
    return true;
}

bool StringGrid::selectable(int col, int row) const {
    return col >= fixedCols_ && col < cols_ && row >= fixedRows_ && row < rows_;
}

bool StringGrid::setCurrent(int col, int row) {
    if (!selectable(col, row)) return false;
    if (col != col_ || row != row_) {
        update(cellRect(col_, row_));
        col_ = col;
        row_ = row;
        update(cellRect(col_, row_));
    }
    return true;
}

QRect StringGrid::cellRect(int col, int row) const {
    return QRect(col * (colWidth_ + GridLineWidth), row * (rowHeight_ + GridLineWidth), colWidth_,
                 rowHeight_);
}

QSize StringGrid::sizeHint() const {
    return QSize(cols_ * (colWidth_ + GridLineWidth), rows_ * (rowHeight_ + GridLineWidth));
}

bool StringGrid::cellAt(const QPoint& pos, int& col, int& row) const {
    if (pos.x() < 0 || pos.y() < 0) return false;
    col = pos.x() / (colWidth_ + GridLineWidth);
    row = pos.y() / (rowHeight_ + GridLineWidth);
    return col < cols_ && row < rows_;
}

void StringGrid::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Window));
    const QRect dirty = e->rect();
    for (int row = 0; row < rows_; ++row) {
        for (int col = 0; col < cols_; ++col) {
            const QRect r = cellRect(col, row);
            if (!r.intersects(dirty)) continue;
            const bool fixed = !selectable(col, row);
            const bool current = col == col_ && row == row_;
            QColor back = fixed     ? pal.color(QPalette::Button)
                          : current ? pal.color(QPalette::Highlight)
                                    : pal.color(QPalette::Base);
            p.fillRect(r, back);
            // Grid lines to the right of and below every cell.
            p.setPen(pal.color(fixed ? QPalette::Dark : QPalette::Mid));
            p.drawLine(r.right() + 1, r.top(), r.right() + 1, r.bottom() + 1);
            p.drawLine(r.left(), r.bottom() + 1, r.right() + 1, r.bottom() + 1);
            if (fixed) {
                p.setPen(pal.color(QPalette::Light));
                p.drawLine(r.topLeft(), r.topRight());
                p.drawLine(r.topLeft(), r.bottomLeft());
            }
            if (marks_[static_cast<std::size_t>(row) * cols_ + col]) {
                // A triangle in the top right corner, as a note on a cell.
                const int size = std::min(7, r.height() / 3);
                const QPoint corner = r.topRight() + QPoint(1, 0);
                const QPoint tri[3] = {corner - QPoint(size, 0), corner, corner + QPoint(0, size)};
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0xd0, 0x20, 0x20));
                p.drawPolygon(tri, 3);
            }
            const QString& text = cells_[static_cast<std::size_t>(row) * cols_ + col];
            if (!text.isEmpty()) {
                p.setPen(current && !fixed ? pal.color(QPalette::HighlightedText)
                                           : pal.color(QPalette::WindowText));
                p.drawText(r.adjusted(2, 2, -2, 0),
                           Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
            }
            if (current && !fixed && hasFocus()) {
                QStyleOptionFocusRect opt;
                opt.initFrom(this);
                opt.rect = r;
                opt.backgroundColor = back;
                style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
            }
        }
    }
}

void StringGrid::mousePressEvent(QMouseEvent* e) {
    int col = 0;
    int row = 0;
    if (e->button() == Qt::LeftButton && cellAt(e->position().toPoint(), col, row) &&
        setCurrent(col, row)) {
        pressed_ = true;
        return;
    }
    QWidget::mousePressEvent(e);
}

void StringGrid::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        emit clicked();
        return;
    }
    QWidget::mouseReleaseEvent(e);
}

void StringGrid::keyPressEvent(QKeyEvent* e) {
    int col = col_;
    int row = row_;
    const int page = std::max(1, height() / (rowHeight_ + GridLineWidth) - fixedRows_);
    switch (e->key()) {
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    case Qt::Key_Left:
        --col;
        break;
    case Qt::Key_Right:
        ++col;
        break;
    case Qt::Key_PageUp:
        row -= page;
        break;
    case Qt::Key_PageDown:
        row += page;
        break;
    case Qt::Key_Home:
        col = fixedCols_;
        break;
    case Qt::Key_End:
        col = cols_ - 1;
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    col = std::clamp(col, fixedCols_, cols_ - 1);
    row = std::clamp(row, fixedRows_, rows_ - 1);
    if (col != col_ || row != row_) {
        setCurrent(col, row);
        emit clicked();
    }
}
