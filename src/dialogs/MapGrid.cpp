#include "MapGrid.h"

#include "memory/Hex.h"
#include "views/QtText.h"

#include <QHeaderView>
#include <QTableWidget>

namespace zep {

QString shortKilobytes(std::uint64_t bytes) {
    if (bytes < 1024)
        return {};
    if (bytes % 1024 == 0)
        return QString::number(bytes / 1024);
    // tenths of a kilobyte, computed on integers so that 1280 bytes are 1.3 and not a binary accident
    const std::uint64_t tenths = (bytes * 10 + 512) / 1024;
    return QString::number(tenths / 10) + '.' + QString::number(tenths % 10);
}

std::uint64_t roundedKilobytes(std::uint64_t bytes) {
    const std::uint64_t whole = bytes / 1024;
    const std::uint64_t rest = bytes % 1024;
    if (rest > 512 || (rest == 512 && whole % 2 == 1))
        return whole + 1;
    return whole;
}

QString hexNumber(std::uint64_t value) {
    return qs(hex::number(value));
}

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
    QStringList texts{hexNumber(range.address), hexNumber(range.address + range.count - 1),
                      hexNumber(range.count), shortKilobytes(range.count)};
    texts += further;
    addCells(grid, texts, colour);
}

void addEmptyRow(QTableWidget& grid) {
    addCells(grid, {}, {});
}

} // namespace MapGrid
} // namespace zep
