#pragma once

#include "memory/MemRange.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>

class QTableWidget;

namespace zep {

/**
 * bytes / 1024 in the short kilobyte form of the map grids: empty below 1, the integer digits when
 * whole, otherwise one decimal ("1.5"), halves rounded up
 */
QString shortKilobytes(std::uint64_t bytes);

/** bytes / 1024 rounded to the nearest integer, halves to the even one */
std::uint64_t roundedKilobytes(std::uint64_t bytes);

/** upper-case hexadecimal digits without leading zeros */
QString hexNumber(std::uint64_t value);

/**
 * The address range grids of the property dialogs: read-only rows of Start, End, Length (hexadecimal)
 * and Size (KB), right-aligned, then any further text columns.
 */
namespace MapGrid {

/** empties the grid and gives it these headers; the first four columns are right-aligned */
void reset(QTableWidget& grid, const QStringList& headers);
/** adds the row of range with the further cells; a valid colour becomes every cell's background */
void addRow(QTableWidget& grid, const MemRange& range, const QStringList& further = {},
            const QColor& colour = {});
/** adds a row of empty cells */
void addEmptyRow(QTableWidget& grid);

} // namespace MapGrid
} // namespace zep
