#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace zep::test {

/** the cells of a grid row joined by "|" */
inline QString rowText(const QTableWidget& grid, int row) {
    QStringList cells;
    for (int column = 0; column < grid.columnCount(); ++column) {
        const QTableWidgetItem* item = grid.item(row, column);
        cells << (item != nullptr ? item->text() : QString());
    }
    return cells.join('|');
}

inline QStringList gridRows(const QTableWidget& grid) {
    QStringList rows;
    for (int row = 0; row < grid.rowCount(); ++row)
        rows << rowText(grid, row);
    return rows;
}

inline QStringList headerTexts(const QTableWidget& grid) {
    QStringList texts;
    for (int column = 0; column < grid.columnCount(); ++column)
        texts << grid.horizontalHeaderItem(column)->text();
    return texts;
}

/** runs action once the modal loop of the dialog about to be shown is running */
inline void whenShown(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

template <class T> T& child(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr)
        qFatal("no control %s", name);
    return *found;
}

} // namespace zep::test
