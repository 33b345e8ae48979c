#pragma once

#include "support/RecordingInteraction.h"
#include "support/SmallTree.h"
#include "support/TestDatabase.h"
#include "support/WidgetTests.h"

#include "database/Connection.h"
#include "shell/frmDatabase.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"

#include <QApplication>
#include <QPointer>
#include <QTest>

#include <deque>
#include <memory>

namespace zep::test {

/** A window on a fresh database holding the small tree; its file dialogs answer from a queue. */
struct TestWindow {
    TestDatabase place;
    std::unique_ptr<SmallTree> rows;
    QPointer<frmDatabase> w;
    RecordingInteraction ui;
    std::deque<frmDatabase::FileChoice> files;

    /** without fill the database holds function 7 only */
    explicit TestWindow(DatabaseEngine engine = DatabaseEngine::SQLite, bool fill = true) : place(engine) {
        auto db = place.create();
        if (fill)
            rows = std::make_unique<SmallTree>(*db);
        else
            addFunction(*db, 7, "Engine control");
    }
    ~TestWindow() { delete w; }

    /** more adds keys to the connection string ("Mode=Read") */
    frmDatabase& open(const std::string& more = {}) {
        w = new frmDatabase;
        w->setInteraction(&ui);
        w->fileDialog = [this](frmDatabase::FileDialog, const QString&, const QString&, const QString&) {
            frmDatabase::FileChoice next;
            if (!files.empty()) {
                next = files.front();
                files.pop_front();
            }
            return next;
        };
        w->setConnectionName(place.connectionString() + (more.empty() ? "" : ";" + more));
        w->load();
        w->show();
        QApplication::setActiveWindow(w);
        return *w;
    }

    Connection& db() { return *w->connection(); }
    /** clicks the tree's nodes one after the other, as a user walks down */
    void walk(std::initializer_list<const char*> keys) {
        for (const char* key : keys)
            w->clickNode(key);
    }
    /** puts the focus in the list and selects key there */
    void selectInList(const std::string& key) {
        QApplication::setActiveWindow(w);
        w->list().focusList();
        QVERIFY(w->list().select(key));
        w->updateEnabledState();
    }
};

} // namespace zep::test
