#pragma once

#include "memory/MemRange.h"

#include <QColor>
#include <QString>
#include <QStringList>

class QTableWidget;

namespace zep {

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
