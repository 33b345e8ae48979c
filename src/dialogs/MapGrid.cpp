#include "MapGrid.h"

#include "commands/MapRows.h"
#include "views/QtText.h"

#include <QHeaderView>
#include <QTableWidget>

namespace zep {

namespace MapGrid {

namespace {

constexpr int NumberColumns = 4;

QTableWidgetItem* cell(const QString& text, int column, const QColor& colour) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (column < NumberColumns)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (colour.isValid())
        item->setBackground(colour);
    return item;
}

void addCells(QTableWidget& grid, const QStringList& texts, const QColor& colour) {
    const int row = grid.rowCount();
    grid.insertRow(row);
    for (int column = 0; column < grid.columnCount(); ++column)
        grid.setItem(row, column, cell(column < texts.size() ? texts[column] : QString(), column, colour));
}

} // namespace

void reset(QTableWidget& grid, const QStringList& headers) {
    grid.clear();
    grid.setRowCount(0);
    grid.setColumnCount(int(headers.size()));
    grid.setHorizontalHeaderLabels(headers);
    for (int column = 0; column < headers.size() && column < NumberColumns; ++column)
        grid.horizontalHeaderItem(column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // the numbers share the width; the texts after them take what they need, on one line
    for (int column = 0; column < headers.size(); ++column)
        grid.horizontalHeader()->setSectionResizeMode(
            column, column < NumberColumns ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    grid.setWordWrap(false);
    grid.verticalHeader()->setVisible(false);
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void addRow(QTableWidget& grid, const MemRange& range, const QStringList& further, const QColor& colour) {
    QStringList texts;
    for (const std::string& text : MapRows::cells(range))
        texts << qs(text);
    texts += further;
    addCells(grid, texts, colour);
}

void addEmptyRow(QTableWidget& grid) {
    addCells(grid, {}, {});
}

} // namespace MapGrid
} // namespace zep
