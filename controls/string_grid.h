#pragma once
// A table of text cells addressed as (column, row) from 0, with fixed header
// columns and rows that are drawn as buttons and can never become current.
// The user sets the current cell by a mouse click or the cursor keys, and
// every such setting raises clicked(), by mouse or by keyboard alike. Texts
// are drawn from the cell's left edge; a fixed-pitch font and padded texts
// line numbers up.

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class StringGrid : public QWidget {
    Q_OBJECT

public:
    StringGrid(int colCount, int rowCount, QWidget* parent = nullptr);

    static constexpr int GridLineWidth = 1;

    int ColCount() const { return cols_; }
    int RowCount() const { return rows_; }
    int FixedCols() const { return fixedCols_; }
    int FixedRows() const { return fixedRows_; }
    void setFixed(int cols, int rows);
    int DefaultColWidth() const { return colWidth_; }
    void setDefaultColWidth(int w);
    int DefaultRowHeight() const { return rowHeight_; }
    void setDefaultRowHeight(int h);

    // A cell never written, or outside the grid, reads as empty; writes
    // outside the grid are ignored.
    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);

    // A small corner mark on a cell that has more behind it.
    void setMarked(int col, int row, bool marked);
    bool marked(int col, int row) const;
    // The tooltip of the cell the mouse rests on; an empty text shows none.
    void setToolTipSource(std::function<QString(int col, int row)> source) {
        tipSource_ = std::move(source);
    }

    int Col() const { return col_; }
    int Row() const { return row_; }
    // Makes a non-fixed cell current without raising clicked(); false for a
    // fixed cell or one outside the grid.
    bool setCurrent(int col, int row);

    QRect cellRect(int col, int row) const;
    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool selectable(int col, int row) const;
    bool cellAt(const QPoint& pos, int& col, int& row) const;

    int cols_;
    int rows_;
    int fixedCols_ = 1;
    int fixedRows_ = 1;
    int colWidth_ = 64;
    int rowHeight_ = 24;
    int col_ = 1;
    int row_ = 1;
    // Set by a press on a selectable cell; the release then raises clicked(),
    // so that a window opened from it does not swallow the release.
    bool pressed_ = false;
    std::vector<QString> cells_;
    std::vector<bool> marks_;
    std::function<QString(int, int)> tipSource_;
};
