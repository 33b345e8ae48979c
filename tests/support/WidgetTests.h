#pragma once

// What the widget tests do to real widgets: find a control by its name, type as a user does, read a
// grid, answer a modal dialog once it runs.

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QStringList>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <functional>

/** the PostgreSQL cases need the server that ./test starts */
#define ZEP_SKIP_WITHOUT_SERVER()                                                                            \
    if (qEnvironmentVariableIsEmpty("ZEP_TEST_PG"))                                                          \
    QSKIP("PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)")

namespace zep::test {

template <class T> T& child(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr)
        qFatal("no control %s", name);
    return *found;
}

/** the user replaces the whole text of the box, as by pasting */
inline void replaceTyped(QLineEdit& box, const QString& text) {
    box.selectAll();
    box.insert(text);
}

/** each row's cells joined by "|" */
inline QStringList gridRows(const QTableWidget& grid) {
    QStringList rows;
    for (int row = 0; row < grid.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid.columnCount(); ++column)
            cells << (grid.item(row, column) != nullptr ? grid.item(row, column)->text() : QString());
        rows << cells.join('|');
    }
    return rows;
}

inline QStringList headerTexts(const QTableWidget& grid) {
    QStringList texts;
    for (int column = 0; column < grid.columnCount(); ++column)
        texts << grid.horizontalHeaderItem(column)->text();
    return texts;
}

/** shows the page of the map tabs ("tsMapping") whose object name is key; false when the grid is not on it */
inline bool showTab(QWidget& dialog, const QString& key) {
    auto& tabs = child<QTabWidget>(dialog, "tsMapping");
    for (int i = 0; i < tabs.count(); ++i)
        if (tabs.widget(i)->objectName() == key)
            tabs.setCurrentIndex(i);
    return tabs.currentWidget()->objectName() == key &&
           tabs.currentWidget()->isAncestorOf(&child<QTableWidget>(dialog, "gridMapping"));
}

/** answers the next modal dialog with act, once it runs */
inline void whenModal(std::function<void(QDialog&)> act) {
    QTimer::singleShot(0, qApp, [act] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            act(*dialog);
        else
            whenModal(act);
    });
}

} // namespace zep::test
