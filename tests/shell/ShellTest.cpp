#include "support/RecordingInteraction.h"
#include "support/SmallTree.h"
#include "support/TestDatabase.h"
#include "support/WidgetTests.h"

#include "commands/DemoDatabase.h"
#include "database/Connection.h"
#include "database/ConnectionString.h"
#include "database/ImageStore.h"
#include "dialogs/frmHexView.h"
#include "dialogs/frmPropEcu.h"
#include "shell/DatabaseWindows.h"
#include "shell/DropHandler.h"
#include "shell/ItemCommands.h"
#include "shell/Session.h"
#include "shell/ZEPDatabaseView.h"
#include "shell/frmDatabase.h"
#include "text/Documents.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"
#include "views/QtText.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolBar>
#include <QtTest>

#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

using namespace zep;
using namespace zep::test;

// The main window offscreen: first what it shows of a database and which commands it offers where,
// then one scenario per command as a user starts it. What a widget-free command does with each input
// is told by tests/commands; here the window's part: the file it asks for, where the result shows, and
// the refusals it makes itself.

namespace {

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

QStringList listKeys(frmDatabase& w) {
    QStringList keys;
    for (const ListRow& r : w.list().listModel().rows())
        keys << qs(r.key);
    return keys;
}

QString panel(frmDatabase& w, const char* name) {
    return child<QLabel>(w, name).text();
}

QStringList headers(frmDatabase& w) {
    const ItemListModel& model = w.list().listModel();
    QStringList texts;
    for (int c = 0; c < model.columnCount(); ++c)
        texts << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return texts;
}

/** the codes of the checked entries of the language menu */
QStringList checkedLanguages(frmDatabase& w) {
    QStringList codes;
    for (QAction* entry : w.findChildren<QAction*>("mnuToolsLanguageLang"))
        if (entry->isChecked())
            codes << entry->data().toString();
    return codes;
}

QString caption(frmDatabase& w, const char* name) {
    if (auto* action = w.findChild<QAction*>(name))
        return action->text();
    auto* menu = w.findChild<QMenu*>(name);
    return menu ? menu->title() : QString();
}

/** stands for the desktop's text editor */
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toLocalFile(); }
};

QString data(const char* name) {
    return qs(dataPath(name));
}

void trigger(frmDatabase& w, const char* action) {
    QMetaObject::invokeMethod(&child<QAction>(w, action), "trigger");
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { loadDocuments(ZEP_SHARE_DIR, "en"); }
    void cleanup() { TextCatalog::instance().setLanguage("en"); }

    void startsOnAValidDatabase() {
        TestWindow t;
        frmDatabase& w = t.open();
        QVERIFY(w.valid());
        QCOMPARE(w.windowTitle(),
                 "[" + qtr("frmDatabase/Messages/localDB/text", "") + "] " + qs(t.place.path()));
        QCOMPARE(panel(w, "Version"), QString(" ZEP Viewer - v1.0.0  "));
        QCOMPARE(panel(w, "Language"), QString("en"));
        // Three function rows and the orphan ECU's address; the root listing shows them all.
        QCOMPARE(w.tree().treeModel().rowCount(w.tree().treeModel().indexOf("r")), 4);
        QCOMPARE(listKeys(w).size(), 4);
        QCOMPARE(panel(w, "Info"), QString("4 items"));
        QCOMPARE(w.depth(), 1);
        // The same through the view object that other programs hold.
        ZEPDatabaseView view;
        view.InitUserControl(ZEP_SHARE_DIR, "en");
        view.setFilename(t.place.path());
        QVERIFY(view.window() && view.window()->valid());
        QCOMPARE(view.filename(), t.place.path());
        QCOMPARE(view.baseUrl(), std::string(ZEP_SHARE_DIR));
        delete view.window();
    }

    // Which files the database layer refuses is told by its tests; here the window after a refusal.
    void aFileThatIsNoDatabaseLeavesTheWindowDisabled() {
        TempDir folder;
        const std::string path = folder.file("other.zdb"),
                          bytes = "Standard Jet DB, or something else entirely";
        writeFile(path, bytes);
        frmDatabase w;
        RecordingInteraction ui;
        w.setInteraction(&ui);
        QVERIFY_THROWS_EXCEPTION(std::exception, w.setConnectionName(ConnectionString::forFile(path)));
        QVERIFY(!w.load());
        QCOMPARE(panel(w, "Info"), QString("Invalid ZEP database. Please check ! "));
        QVERIFY(!child<QToolBar>(w, "tbMain").isEnabled());
        QVERIFY(!w.tree().isEnabled());
        QVERIFY(!w.list().isEnabled());
        QVERIFY(!child<QAction>(w, "mnuFileOpen").isEnabled());
        QCOMPARE(readFile(path), bytes); // nothing is written into another program's file
    }

    void walkingDownListsEachLevelUpGoesBackAndHeadersSort() {
        struct Case {
            const char* node;
            QStringList keys;
            int columns, depth;
            const char* info;
        };
        // clang-format off
        const Case cases[] = {
            {"g16", {}, 9, 2, "0 item"},
            {"g7", {"h1", "h2", "h3"}, 9, 2, "3 items"},
            {"h1", {"a1", "a2"}, 11, 3, "2 items"},
            {"a2", {"a2", "c1"}, 11, 4, "2 items"}, // the application's own image first, as its default tuning
        };
        // clang-format on
        TestWindow t;
        frmDatabase& w = t.open();
        for (const Case& c : cases) {
            w.clickNode(c.node);
            QStringList shown = listKeys(w);
            shown.sort();
            QCOMPARE(shown, c.keys);
            QCOMPARE(w.list().listModel().columnCount(), c.columns);
            QCOMPARE(w.depth(), c.depth);
            QCOMPARE(panel(w, "Info"), QString(c.info));
            QVERIFY(w.windowTitle().endsWith("\\" + qs(w.tree().selectionPath().back()->text())));
        }
        w.buttonCommand("Up");
        QCOMPARE(w.depth(), 3);
        QCOMPARE(w.list().selectedKey(), std::string("a2"));
        // In details, a click on a column's header sorts by it; a second click reverses.
        w.buttonCommand("Details");
        QCOMPARE(w.list().view(), ItemList::Details);
        QCOMPARE(listKeys(w), (QStringList{"a2", "a1"})); // "App A" before "App B"
        w.list().headerClicked(0);
        QCOMPARE(listKeys(w), (QStringList{"a1", "a2"}));
        w.list().headerClicked(1);
        QCOMPARE(w.list().sortOrder(), Qt::AscendingOrder);
        QCOMPARE(w.list().sortColumn(), 1);
    }

    void enabledStatesFollowTheFocusTheSelectionAndTheDatabase() {
        // expected: New Open Save Delete Up Properties, then whether the item's name may change
        struct Case {
            char database; // l local, r read-only, c central
            const char* path;
            const char* item; // selected in the list ("" none); null: the tree has the focus
            const char* expected;
        };
        // clang-format off
        const Case cases[] = {
            {'l', "r", "", "010000-"},
            {'l', "r", "g7", "0101000"},
            {'l', "r", nullptr, "000000-"},
            {'l', "g7", nullptr, "110110-"},
            {'l', "g7", "h1", "1111111"},
            {'l', "g7 h1", nullptr, "111111-"},
            {'l', "g7 h1", "a1", "1111111"},
            {'l', "g7 h1 a2", "a2", "1111110"}, // the default tuning keeps its name
            {'r', "g7 h1", "a1", "0010110"},    // nothing is added, deleted or renamed
            {'c', "g7", "h1", "1110111"},       // a central database keeps its ECUs
        };
        // clang-format on
        std::map<char, std::unique_ptr<TestWindow>> windows;
        for (const Case& c : cases) {
            if (c.database == 'c' && !TestDatabase::server())
                continue; // without ZEP_TEST_PG
            auto& t = windows[c.database];
            if (!t) {
                t = std::make_unique<TestWindow>(c.database == 'c' ? DatabaseEngine::PostgreSQL
                                                                   : DatabaseEngine::SQLite);
                t->open(c.database == 'r' ? "Mode=Read" : "");
                // The caption says which kind of database it is, without its password.
                const QString title = t->w->windowTitle();
                const char* kind = c.database == 'c' ? "frmDatabase/Messages/centralDB/text"
                                                     : "frmDatabase/Messages/localDB/text";
                const QString password = qs(ConnectionString::parse(t->place.connectionString()).password());
                QVERIFY2(title.startsWith("[" + qtr(kind, "")), qPrintable(title));
                QCOMPARE(title.contains(", read-only] "), c.database == 'r');
                QVERIFY(password.isEmpty() || !title.contains(password));
            }
            frmDatabase& w = *t->w;
            for (const QString& key : QString(c.path).split(' '))
                w.clickNode(ss(key));
            if (c.item == nullptr) {
                w.tree().setFocus();
            } else {
                w.list().focusList();
                if (*c.item)
                    w.list().select(c.item);
                else
                    w.list().currentView()->clearSelection();
            }
            w.updateEnabledState();
            QString state;
            for (const char* b : {"New", "Open", "Save", "Delete", "Up", "Properties"})
                state += w.button(b)->isEnabled() ? '1' : '0';
            const ItemListModel& model = w.list().listModel();
            const int row = c.item && *c.item ? model.rowOf(c.item) : -1;
            state += row < 0 ? '-' : (model.flags(model.index(row, 0)) & Qt::ItemIsEditable) ? '1' : '0';
            const QString where =
                QString(" %1 at %2 %3")
                    .arg(QString(QChar(c.database)), QString(c.path), QString(c.item ? c.item : "tree"));
            QCOMPARE(state + where, c.expected + where);
        }
    }

    void iconNamesWrapOnThreeLinesAndKeepTheirEndings() {
        // clang-format off
        const std::pair<QString, bool> cases[] = { // the name, whether it is shown whole
            {"Airbag", true},
            {"Boîte de vitesses automatique", true},
            {"SC6_SW21_CALIB_2003_B.s", true},
            {"SC6_SW21_CALIBRATION_OF_THE_FRONT_LEFT_SENSOR_FOR_THE_WINTER_TESTS_2003_B.s", false},
        };
        // clang-format on
        TestWindow t;
        frmDatabase& w = t.open();
        w.buttonCommand("LargeIcons");
        auto* icons = qobject_cast<QListView*>(w.list().currentView());
        QVERIFY(icons);
        auto* delegate = qobject_cast<QStyledItemDelegate*>(icons->itemDelegate());
        QVERIFY(delegate);
        for (const auto& [name, whole] : cases) {
            const QString shown = delegate->displayText(name, QLocale());
            const QStringList lines = shown.split(QChar::LineSeparator); // the breaks the drawing keeps
            QVERIFY2(lines.size() <= 3, qPrintable(shown));
            for (const QString& line : lines)
                QVERIFY2(icons->fontMetrics().horizontalAdvance(line) < icons->gridSize().width(),
                         qPrintable(line));
            // Endings tell tunings apart: they stay, and so does the beginning.
            QVERIFY2(shown.endsWith(name.right(6)) && shown.startsWith(name.left(3)), qPrintable(shown));
            if (whole)
                QCOMPARE(lines.join(QString()).remove(' '), QString(name).remove(' '));
            else
                QVERIFY(shown.contains(QChar(0x2026))); // cut in the middle
        }
    }

    void splitterBarIsGreyWhileDraggedAndStopsNearTheEdges() {
        TestWindow t;
        frmDatabase& w = t.open();
        auto& splitter = child<QSplitter>(w, "splitter");
        QSplitterHandle* bar = splitter.handle(1);
        const QPoint middle = bar->rect().center();
        const auto colour = [&] { return bar->grab().toImage().pixelColor(middle); };
        const QColor idle = colour();
        QTest::mousePress(bar, Qt::LeftButton, {}, middle);
        QCOMPARE(colour(), QColor(0x80, 0x80, 0x80));
        QTest::mouseMove(bar, middle - QPoint(4000, 0));
        QCOMPARE(splitter.sizes().first(), 6); // the bar's size from the left edge
        QTest::mouseMove(bar, middle + QPoint(4000, 0));
        QCOMPARE(splitter.sizes().last(), 6); // twice the bar's size from the right edge
        QTest::mouseRelease(bar, Qt::LeftButton, {}, middle);
        QCOMPARE(colour(), idle);
    }

    void backgroundPictures_data() {
        QTest::addColumn<bool>("userPicture"); // a red picture named by the file beside the database
        QTest::addColumn<int>("before");       // the entry chosen first; -1 none
        QTest::addColumn<int>("entry");        // 0 none, 1 user defined, 2 the first built-in picture
        QTest::addColumn<QString>("shown");    // behind the list: "base", "red" or "picture"
        // clang-format off
        QTest::newRow("none") << false << 2 << 0 << "base";
        QTest::newRow("built-in") << false << 0 << 2 << "picture";
        // Without a picture of the user's, the background stays as it was; the check mark moves.
        QTest::newRow("user defined, none loaded") << false << 2 << 1 << "picture";
        QTest::newRow("user's picture") << true << -1 << 1 << "red";
        // clang-format on
    }
    void backgroundPictures() {
        QFETCH(bool, userPicture);
        QFETCH(int, before);
        QFETCH(int, entry);
        QFETCH(QString, shown);
        TestWindow t;
        Session::instance().userBackgroundPath.reset(); // read again from this test's folder
        if (userPicture) {
            const std::filesystem::path folder = std::filesystem::path(t.place.path()).parent_path();
            QImage red(64, 64, QImage::Format_RGB32);
            red.fill(Qt::red);
            QVERIFY(red.save(qs((folder / "red.png").string())));
            std::ofstream(folder / "ZEPViewer.xml")
                << "<?xml version=\"1.0\"?><software><userParameters><backgroundImage>"
                << (folder / "red.png").string() << "</backgroundImage></userParameters></software>";
        }
        frmDatabase& w = t.open();
        Session::instance().userBackgroundPath.reset();
        QList<QAction*> entries = child<QMenu>(w, "mnuViewBackground").actions();
        if (before >= 0)
            entries[before]->trigger();
        entries[entry]->trigger();
        for (int i = 0; i < entries.size(); ++i)
            QCOMPARE(entries[i]->isChecked(), i == entry);
        QCOMPARE(entries[1]->isVisible(), userPicture);
        QWidget* behind = w.list().viewport();
        const QColor seen = behind->grab().toImage().pixelColor(behind->width() - 2, behind->height() - 2);
        const QColor base = behind->palette().color(QPalette::Base);
        QCOMPARE(QString(seen == QColor(Qt::red) ? "red" : seen == base ? "base" : "picture"), shown);
    }

    void languageSwitchTranslatesCaptionsAndHeaders() {
        TestWindow t;
        TextCatalog::instance().setLanguage("de"); // a language the menu does not offer: English is checked
        frmDatabase& w = t.open();
        QCOMPARE(checkedLanguages(w), QStringList{"en"});
        const QString englishQuit = caption(w, "mnuFileQuit");
        // From an application selected in the list, where every command is enabled.
        t.walk({"g7", "h1"});
        t.selectInList("a1");
        w.switchLanguage("fr");
        QCOMPARE(panel(w, "Language"), QString("fr"));
        QCOMPARE(checkedLanguages(w), QStringList{"fr"});
        QVERIFY(caption(w, "mnuFileQuit") != englishQuit);
        QVERIFY(w.windowTitle().startsWith("[" + qtr("frmDatabase/Messages/localDB/text", "")));
        QCOMPARE(w.depth(), 1);
        QCOMPARE(headers(w), (QStringList{"Fonction", "Adresse"}));
        // Back at the root, nothing is selected: only Open may stay enabled.
        for (const char* b : {"Save", "Delete", "Up", "Properties"})
            QVERIFY2(!w.button(b)->isEnabled(), b);
        w.switchLanguage("en");
        QCOMPARE(caption(w, "mnuFileQuit"), englishQuit);
        QCOMPARE(headers(w), (QStringList{"Function", "Address"}));
        QCOMPARE(checkedLanguages(w), QStringList{"en"});
    }

    void userConfigurationFileOverridesCaptions() {
        TestWindow t;
        const std::string beside = std::filesystem::path(t.place.path()).parent_path() / "ZEPViewer.xml";
        std::ofstream(beside) << "<?xml version=\"1.0\"?><software><frmDatabase><Controls>"
                                 "<mnuFileQuit><caption>Leave now</caption></mnuFileQuit>"
                                 "<tbMain><Open><toolTip>Bring a file in</toolTip></Open></tbMain>"
                                 "</Controls></frmDatabase></software>";
        frmDatabase& w = t.open();
        QCOMPARE(caption(w, "mnuFileQuit"), QString("Leave now"));
        QCOMPARE(w.button("Open")->toolTip(), QString("Bring a file in"));
        QVERIFY(w.informationReport().contains("User configuration file: " + qs(beside) + "\r\n"));
    }

    void informationReportLines() {
        TestWindow t;
        frmDatabase& w = t.open();
        const QStringList lines = w.informationReport().split("\r\n");
        QCOMPARE(lines.first(), QString("Information"));
        QCOMPARE(lines[2], QString("ZEP Viewer version     : 1.0.0"));
        QCOMPARE(lines[3], "Database file          : " + qs(t.place.path()));
        QVERIFY(!w.informationReport().contains("User configuration file"));
        QVERIFY(lines[9].startsWith("Operating system       : Linux "));
        // The client area runs from the toolbar down to the status bar, under the menu bar.
        const int clientHeight = w.statusBar()->geometry().bottom() + 1 - child<QToolBar>(w, "tbMain").y();
        QCOMPARE(lines[12], QString("Client size (pixels)   : %1x%2").arg(w.width()).arg(clientHeight));
        QCOMPARE(lines.last(), QString()); // the last line ends with CR LF too
    }

    void screenshotsShowTheSameStatesInBothLanguages() {
        TempDir out;
        const std::string demo = out.file("demo.zdb");
        RecordingInteraction ui;
        makeDemoDatabase(demo, ui);
        QProcess shots;
        shots.start(ZEP_SCREENSHOTS, {qs(out.file("shots")), qs(demo)});
        QVERIFY(shots.waitForFinished(120000));
        QCOMPARE(shots.exitCode(), 0);
        // The toolbar shows pictures only: alike in both languages when its buttons' states are.
        frmDatabase sized;
        sized.resize(1100, 640);
        sized.show();
        const QRect toolbar = child<QToolBar>(sized, "tbMain").geometry();
        const QDir folder(qs(out.file("shots")));
        const QStringList english = folder.entryList({"en-[0-9]*.png"});
        QVERIFY(english.size() >= 5);
        for (const QString& name : english) {
            const QImage en(folder.filePath(name));
            const QImage fr(folder.filePath(QString(name).replace(0, 2, "fr")));
            QVERIFY2(en.copy(toolbar) == fr.copy(toolbar), qPrintable(name));
        }
    }

    // The commands.

    void openFlashFilesIntoTheSelectedEcuAndSaveThem() {
        TestWindow t;
        t.open();
        TempDir folder;
        writeFile(folder.file("bad.s"), "S1130000ZZ\n");
        // A tuning area where the file's data lie, so that the saved files hold them.
        t.db().execute(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (3, 65536, 4096, ?)",
            {true});
        t.db().execute("UPDATE [Hardwares] SET [FillPattern] = ? WHERE [Ecu Id] = 3",
                       {QByteArray("\xFF", 1)});
        t.walk({"g7", "h3"});
        t.w->tree().setFocus();
        // A cancelled file dialog and a bad file change nothing.
        t.w->buttonCommand("Open");
        t.files.push_back({qs(folder.file("bad.s")), 1});
        t.w->buttonCommand("Open");
        QCOMPARE(count(t.db(), "Applications"), 5);
        QCOMPARE(t.ui.shown.back().kind, std::string("critical"));
        QCOMPARE(t.ui.shown.back().text, std::string("Invalid hexadecimal digits at line 1"));
        QCOMPARE(t.w->list().listModel().rowCount(), 0);

        t.files.push_back({data("flash/valdore.s"), 1});
        t.w->buttonCommand("Open");
        QCOMPARE(count(t.db(), "Applications"), 6);
        const std::string added = t.w->list().selectedKey();
        // The file is a tuning: it goes under a dummy application, whose listing shows it selected.
        QVERIFY(keyKind(added) == 'c');
        QCOMPARE(t.w->depth(), 4);
        QCOMPARE(t.w->tree().selectionPath().back()->text(), std::string("valdore.s"));

        // Saved in each format the filter names; the fifth filter (all files) takes the extension.
        t.selectInList(added);
        // clang-format off
        const std::pair<const char*, int> saves[] = {{"s1", 1}, {"s2", 2}, {"s3", 3}, {"s4", 4}, {"s5.s19", 5}, {"none", 5}};
        // clang-format on
        for (const auto& [name, filter] : saves) {
            const std::string path = folder.file(name);
            t.files.push_back({qs(path), filter});
            t.ui.answers.push_back(Answer::Yes); // binHex, for the XML one
            t.w->buttonCommand("Save");
            QCOMPARE(std::filesystem::exists(path) && std::filesystem::file_size(path) > 0, name[0] == 's');
        }
    }

    void xmlFilesOpenedOrDroppedAreImported_data() {
        QTest::addColumn<bool>("opened"); // by Open at the root, or dropped on the tree
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("added");
        // clang-format off
        QTest::newRow("opened") << true << QStringList{data("xml/ecu.base64.xml")} << 1;
        QTest::newRow("dropped") << false << QStringList{data("xml/ecu.binhex.xml")} << 1;
        QTest::newRow("two dropped") << false << QStringList{data("xml/ecu.base64.xml"), data("xml/ecu.binhex.xml")} << 0;
        QTest::newRow("not XML dropped") << false << QStringList{data("flash/valdore.s")} << 0;
        // clang-format on
    }
    void xmlFilesOpenedOrDroppedAreImported() {
        QFETCH(bool, opened);
        QFETCH(QStringList, files);
        QFETCH(int, added);
        TestWindow t;
        t.open();
        t.ui.answers.assign(8, Answer::Yes);
        const qint64 before = count(t.db(), "Hardwares");
        if (opened) {
            t.w->tree().setFocus();
            t.files.push_back({files[0], 1});
            t.w->buttonCommand("Open");
        } else {
            QMimeData dropped;
            QList<QUrl> urls;
            for (const QString& f : files)
                urls << QUrl::fromLocalFile(f);
            dropped.setUrls(urls);
            QCOMPARE(t.w->tree().acceptsDrop(dropped), files.size() == 1);
            if (files.size() == 1)
                t.w->tree().dropped(dropped);
        }
        // The file is read on another thread; the import follows on the window's.
        QTRY_VERIFY(!t.w->commands().importing());
        QCOMPARE(count(t.db(), "Hardwares"), before + added);
        // The tree was read anew: the imported ECU has its node.
        if (added > 0)
            QVERIFY(t.w->treeSource().find(
                "h" + std::to_string(count(t.db(), "SELECT MAX([Ecu Id]) FROM [Hardwares]"))));
    }

    void newAndFurtherDatabaseWindows() {
        TestWindow t;
        t.open();
        TempDir out;
        const std::size_t before = DatabaseWindows::all().size();
        // New Database: an empty local database in a window of its own.
        t.files.push_back({qs(out.file("new.zdb")), 1});
        trigger(*t.w, "mnuFileNewDatabase");
        QCOMPARE(DatabaseWindows::all().size(), before + 1);
        QPointer<frmDatabase> created = DatabaseWindows::all().back();
        QVERIFY(created->valid());
        QCOMPARE(created->pos(), t.w->pos() + QPoint(24, 24));
        QCOMPARE(created->treeSource().root()->childCount(), std::size_t(0));
        // An existing file is never replaced.
        t.files.push_back({qs(out.file("new.zdb")), 1});
        trigger(*t.w, "mnuFileNewDatabase");
        QCOMPARE(DatabaseWindows::all().size(), before + 1);
        QCOMPARE(t.ui.shown.back().kind, std::string("critical"));

        // Open Database: the chooser's answer opens another window on it.
        whenModal([&](QDialog& d) {
            child<QLineEdit>(d, "txtFile").setText(qs(out.file("new.zdb")));
            d.accept();
        });
        trigger(*t.w, "mnuFileDatabase");
        QCOMPARE(DatabaseWindows::all().size(), before + 2);
        QPointer<frmDatabase> opened = DatabaseWindows::all().back();
        QVERIFY(opened->valid());
        QCOMPARE(opened->dataSource(), out.file("new.zdb"));
        delete opened;
        delete created;
    }

    void kwpFileToTextOpensTheTextInAnEditor() {
        TestWindow t;
        t.open();
        TempDir out;
        UrlCatcher editor;
        QDesktopServices::setUrlHandler("file", &editor, "open");
        t.files.push_back({data("flash/app.kwp"), 1});
        t.files.push_back({qs(out.file("app.txt")), 1});
        trigger(*t.w, "mnuToolsKwp2Txt");
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(editor.opened, QStringList{qs(out.file("app.txt"))});
        QCOMPARE(readFile(out.file("app.txt")), readFile(dataPath("flash/app.kwp.txt")));
    }

    void popupEntriesFollowTheButtonsOfTheItemUnderThePointer() {
        TestWindow t;
        t.open();
        t.walk({"g7", "h1"});
        t.selectInList("a1");
        auto& menu = child<QMenu>(*t.w, "mnuPopup");
        QAction& properties = child<QAction>(*t.w, "mnuPopupProperties");
        QAction& dataSet = child<QAction>(*t.w, "mnuPopupCreateTestDataSet");
        emit t.w->list().popupRequested(t.w->mapToGlobal(QPoint(200, 200)));
        QTRY_VERIFY(menu.isVisible());
        QVERIFY(dataSet.isEnabled());
        QVERIFY(child<QAction>(*t.w, "mnuPopupDelete").isEnabled());
        QCOMPARE(menu.defaultAction(), &properties);
        menu.close();

        // In the tree the node under the pointer ends the path and is the one the commands act on.
        // clang-format off
        const std::pair<const char*, bool> cases[] = {{"g7", false}, {"r", false}, {"h3", true}}; // properties?
        // clang-format on
        DatabaseTree& tree = t.w->tree();
        for (const auto& [target, hasProperties] : cases) {
            t.walk({"g7", "h1"});
            QTest::mouseClick(tree.viewport(), Qt::RightButton, {},
                              tree.visualRect(tree.treeModel().indexOf(target)).center());
            QCOMPARE(tree.selectionPath().back()->key(), std::string(target));
            QCOMPARE(tree.currentNode()->key(), std::string(target));
            QCOMPARE(t.w->button("Properties")->isEnabled(), hasProperties);
            QCOMPARE(menu.isVisible(), std::string(target) != "r"); // no pop-up on the root
            if (!menu.isVisible())
                continue;
            QCOMPARE(properties.isEnabled(), hasProperties);
            QVERIFY(!dataSet.isEnabled()); // from the tree, no data set
            menu.close();
            if (!hasProperties)
                continue;
            QString shown;
            whenModal([&](QDialog& d) {
                shown = d.windowTitle();
                d.reject();
            });
            properties.trigger();
            QCOMPARE(shown, QString("Gearbox"));
        }
    }

    void deleteAndRenameInTheListAndTheTree() {
        TestWindow t;
        t.open();
        t.walk({"g7"});
        t.selectInList("h3");
        t.ui.answers.push_back(Answer::Yes);
        t.w->buttonCommand("Delete");
        QCOMPARE(count(t.db(), "SELECT COUNT(*) FROM [Hardwares] WHERE [Ecu Id] = 3"), 0);
        QCOMPARE(t.w->list().listModel().rowOf("h3"), -1);
        QVERIFY(!t.w->treeSource().find("h3"));
        // The application's own entry among its tunings is no item of its own.
        t.walk({"h1", "a2"});
        t.selectInList("a2");
        t.w->buttonCommand("Delete");
        QCOMPARE(t.ui.texts().back(), std::string("Unable to delete global item"));
        QVERIFY(t.w->list().listModel().rowOf("a2") >= 0);

        t.walk({"h1"});
        auto& model = t.w->list().listModel();
        QVERIFY(model.setData(model.index(model.rowOf("a1"), 0), "  Renamed 'app' é  ", Qt::EditRole));
        QCOMPARE(count(t.db(), "SELECT COUNT(*) FROM [Applications] WHERE [App Name] = 'Renamed ''app'' é'"),
                 1);
        QCOMPARE(t.w->treeSource().find("a1")->text(), std::string("Renamed 'app' é"));
        // A blank name is refused and changes nothing.
        model.setData(model.index(model.rowOf("a1"), 0), "   ", Qt::EditRole);
        QCOMPARE(t.w->treeSource().find("a1")->text(), std::string("Renamed 'app' é"));
    }

    void propertiesOfAnEcuAndAnApplicationAreStored() {
        TestWindow t;
        t.open();
        // An identification as the Open command stores it.
        t.db().execute(
            "UPDATE [Applications] SET [Homologation] = '0000000000', [Hardware] = '0000000000',"
            " [Software] = '0000', [Version] = '0000', [Calibration] = '0000', [Réserve] = '00000000'");
        t.walk({"g7"});
        t.selectInList("h2");
        whenModal([](QDialog& d) {
            replaceTyped(child<QLineEdit>(d, "txtInterByteDelay"), "30");
            d.accept();
        });
        t.w->buttonCommand("Properties");
        QCOMPARE(count(t.db(), "SELECT [InterByteDelay] FROM [Hardwares] WHERE [Ecu Id] = 2"), 30);

        t.walk({"h1"});
        t.selectInList("a1");
        whenModal([](QDialog& d) {
            // Typed, as a user does: only edited boxes count as changes.
            auto& approval = child<QLineEdit>(d, "txtApprovalNumber");
            approval.selectAll();
            QTest::keyClicks(&approval, "00000ABCDE");
            QTest::keyClicks(&child<QPlainTextEdit>(d, "txtComment"), "checked on the bench");
            d.accept();
        });
        t.w->buttonCommand("Properties");
        QCOMPARE(lines(t.db(), "SELECT [Homologation], [Commentaire] FROM [Applications] WHERE [App Id] = 1"),
                 std::vector<std::string>{"00000ABCDE|checked on the bench"});
        const ListRow& item = t.w->list().listModel().row(t.w->list().listModel().rowOf("a1"));
        QCOMPARE(item.subItems.at(9), std::string("00000ABCDE"));
    }

    void findListsItemsOfEveryKindAndGoesToOne() {
        TestWindow t;
        t.open();
        t.w->buttonCommand("Find");
        auto& query = child<QLineEdit>(*t.w, "txtFind");
        QTest::keyClicks(&query, "app");
        QTest::keyClick(&query, Qt::Key_Return);
        const ItemListModel& found = t.w->list().listModel();
        QCOMPARE(found.rowCount(), 3); // App A, B and C
        QVERIFY(
            qs(found.row(found.rowOf("a2")).subItems.at(0)).endsWith("\\Injection")); // its function, its ECU
        t.selectInList("a2");
        t.w->list().itemActivated();
        // The level where it is: the applications of its ECU, with it selected, its tree node shown.
        QCOMPARE(t.w->depth(), 3);
        QCOMPARE(t.w->list().selectedKey(), std::string("a2"));
        QCOMPARE(t.w->tree().currentNode()->key(), std::string("a2"));
    }

    void newEcuWithItsMemoryMapInALocalDatabaseOnly() {
        TestWindow t;
        t.open();
        t.w->clickNode("g7");
        t.w->tree().setFocus();
        t.w->updateEnabledState();
        QVERIFY(t.w->button("New")->isEnabled());
        whenModal([](QDialog& d) {
            QTest::keyClicks(&child<QLineEdit>(d, "txtName"), "Body 2");
            auto* map = d.findChild<QTableWidget*>("gridMapEdit");
            static_cast<frmPropEcu&>(d).addRange();
            QCOMPARE(map->item(0, 1)->text(), QString("0"));
            map->item(0, 2)->setText("0FFF");
            d.accept();
        });
        t.w->buttonCommand("New");
        QSqlQuery ecu = t.db().execute("SELECT h.[Ecu Id], m.[Count] FROM [Hardwares] AS h JOIN [Mappings] "
                                       "AS m ON m.[Ecu Id] = h.[Ecu Id] WHERE h.[Nom] = 'Body 2'");
        QVERIFY(ecu.next());
        QCOMPARE(ecu.value(1).toInt(), 0x1000);
        QCOMPARE(t.w->list().selectedKey(), "h" + ecu.value(0).toString().toStdString());
        QVERIFY(t.w->treeSource().find(t.w->list().selectedKey()));

        if (!TestDatabase::server())
            return;
        TestWindow central(DatabaseEngine::PostgreSQL);
        central.open();
        central.w->clickNode("g7");
        central.w->tree().setFocus();
        central.w->buttonCommand("New");
        QCOMPARE(central.ui.shown.size(), std::size_t(1)); // refused, before any dialog
    }

    void propertiesCompareTheImageWithItsWriteMap() {
        // ECU 1 writes 0-FFF and its tuning area 8000-80FF; application 2 covers both and 9000-91FF,
        // its tuning 1 the first half of the tuning area.
        const struct {
            const char *item, *tab;
            QStringList rows;
            QString bytes; // what "View bytes" says of the same item
        } cases[] = {
            // clang-format off
            {"a2", "Exceed", {"9000|91FF|200|"}, "4864 bytes in 3 range(s)"}, // the application
            {"a2", "Mapping", {"8000|80FF|100||F1A1|D4DE8064|00000200"}, "256 bytes in 1 range(s)"}, // its default tuning
            {"c1", "Missing", {"8080|80FF|80|"}, "128 bytes in 1 range(s)"}, // its tuning
            // clang-format on
        };
        TestWindow t;
        t.open();
        const QString mapping =
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (1, ?, ?, ?)";
        t.db().execute(mapping, {0, 0x1000, false});
        t.db().execute(mapping, {0x8000, 0x100, true});
        MemImage code, data;
        code.add(0, std::vector<std::uint8_t>(0x1000, 1));
        code.add(0x8000, std::vector<std::uint8_t>(0x100, 2));
        code.add(0x9000, std::vector<std::uint8_t>(0x200, 3));
        data.add(0x8000, std::vector<std::uint8_t>(0x80, 4));
        ImageStore::StoreImageRows(t.db(), ImageStore::Owner::Application, t.rows->appA, code);
        ImageStore::StoreImageRows(t.db(), ImageStore::Owner::Tuning, t.rows->tuning, data);
        t.walk({"g7", "h1"});
        for (const auto& [item, tab, rows, bytes] : cases) {
            t.selectInList(item);
            QStringList shown;
            whenModal([&](QDialog& d) {
                QVERIFY(showTab(d, tab));
                shown = gridRows(child<QTableWidget>(d, "gridMapping"));
                d.reject();
            });
            t.w->buttonCommand("Properties");
            QCOMPARE(shown, rows);
            // the pop-up's "View bytes" shows the same item's bytes
            emit t.w->list().popupRequested(t.w->mapToGlobal(QPoint(200, 200)));
            auto* viewBytes = t.w->findChild<QAction*>("mnuPopupViewBytes");
            QVERIFY(viewBytes->isEnabled());
            t.w->findChild<QMenu*>("mnuPopup")->close();
            viewBytes->trigger();
            auto* hex = t.w->findChild<frmHexView*>();
            QVERIFY(hex && hex->isVisible());
            QVERIFY2(child<QLabel>(*hex, "lblInfo").text().startsWith(bytes),
                     qPrintable(child<QLabel>(*hex, "lblInfo").text()));
            delete hex;
            t.w->clickNode("a2");
        }
    }

    void dataSetAddsADummyApplication() {
        TestWindow t;
        t.open();
        t.db().execute(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (1, 4096, 256, ?)",
            {false});
        t.db().execute("UPDATE [Hardwares] SET [FillPattern] = ? WHERE [Ecu Id] = 1",
                       {QByteArray("\xFF", 1)});
        t.walk({"g7", "h1"});
        t.selectInList("a1");
        whenModal([](QDialog& d) {
            child<QLineEdit>(d, "txtLength").setText("100");
            child<QLineEdit>(d, "txtByteValue").setText("AA");
            QMetaObject::invokeMethod(&d, "create");
        });
        t.w->commands().createTestDataSet();
        QCOMPARE(count(t.db(), "SELECT COUNT(*) FROM [Applications] WHERE [App Name] LIKE 'DUMMY%'"), 1);
        QVERIFY(keyKind(t.w->list().selectedKey()) == 'a');
    }

    void calculatorStartsTheFirstProgramFound() {
        // clang-format off
        const std::pair<QStringList, std::string> cases[] = {
            {{"xcalc", "kcalc"}, "kcalc"}, // the first in the order of preference
            {{}, ""},                      // none: nothing happens
        };
        // clang-format on
        for (const auto& [programs, started] : cases) {
            TestWindow t;
            t.open();
            TempDir bin;
            // Stand-ins for the desktop's calculators: each leaves its name in a file when started.
            for (const QString& program : programs) {
                const std::string path = bin.file(ss(program));
                writeFile(path, "#!/bin/sh\necho " + ss(program) + " > " + bin.file("started") + "\n");
                std::filesystem::permissions(path, std::filesystem::perms::owner_all);
            }
            const QByteArray path = qgetenv("PATH");
            qputenv("PATH", qs(bin.path()).toUtf8());
            trigger(*t.w, "mnuToolsCalc");
            qputenv("PATH", path);
            if (started.empty())
                QTest::qWait(200);
            // a loaded machine may take seconds to start the stand-in
            QTRY_COMPARE_WITH_TIMEOUT(readFile(bin.file("started")),
                                      started.empty() ? started : started + "\n", 20000);
            QVERIFY(t.ui.shown.empty());
        }
    }

    void aboutBoxNamesTheProgramVersionAndCopyright() {
        TestWindow t;
        t.open();
        QString text;
        whenModal([&](QDialog& d) {
            text = static_cast<QMessageBox&>(d).text();
            d.accept();
        });
        trigger(*t.w, "mnuHelpAbout");
        QCOMPARE(text, QString("ZEPViewer - v1.0.0\r\nCopyright (c) ZEPViewer developers"));
    }

    void compactionOfTheOpenDatabase() {
        TestWindow t;
        t.open();
        TempDir out;
        t.files.push_back({qs(t.place.path()), 1});
        t.files.push_back({qs(out.file("compact.zdb")), 1});
        trigger(*t.w, "mnuToolsCompactDB");
        QVERIFY(std::filesystem::exists(out.file("compact.zdb")));
        QCOMPARE(t.ui.shown.size(), std::size_t(1));
        QVERIFY(t.ui.shown[0].text.find(out.file("compact.zdb")) != std::string::npos);
        // The window works on its own file again.
        QVERIFY(t.w->connection());
        t.walk({"g7"});
        QCOMPARE(t.w->list().listModel().rowCount(), 3);
    }

    void dragFromACentralWindowIntoALocalOne() {
        ZEP_SKIP_WITHOUT_SERVER();
        TestWindow central(DatabaseEngine::PostgreSQL);
        TestWindow local(DatabaseEngine::SQLite, false);
        central.open();
        local.open();
        QVERIFY(central.w->isCentral());

        // An ECU of function 7 into the local function 7.
        central.walk({"g7"});
        central.selectInList("h1");
        local.walk({"g7"});
        QVERIFY(local.w->drops().begin(central.w));
        local.w->drops().dropOn({});
        QCOMPARE(count(local.db(), "SELECT COUNT(*) FROM [Hardwares] WHERE [Nom] = 'Injection'"), 1);
        const std::string copied = local.w->list().selectedKey();
        QVERIFY(keyKind(copied) == 'h');

        // An application into that ECU, with its image rows.
        central.walk({"h1"});
        central.selectInList("a1");
        local.w->clickNode(copied);
        QVERIFY(local.w->drops().begin(central.w));
        local.w->drops().dropOn({});
        QCOMPARE(count(local.db(), "SELECT COUNT(*) FROM [Applications] WHERE [App Name] = 'App B'"), 1);
        QVERIFY(local.w->treeSource().find(local.w->list().selectedKey()));

        // The same application dropped on its copy compares them: no difference, nothing written.
        local.ui.answers.push_back(Answer::Cancel);
        QVERIFY(local.w->drops().begin(central.w));
        local.w->drops().dropOn(local.w->list().selectedKey());
        QCOMPARE(count(local.db(), "Applications"), 1);

        // Refusals: an ECU into the root; anything into the root of the central database.
        local.walk({"r"});
        central.walk({"g7"});
        central.selectInList("h2");
        QVERIFY(!local.w->drops().begin(central.w));
        local.walk({"g7"});
        local.selectInList(copied);
        central.walk({"r"});
        central.w->buttonCommand("Up");
        QVERIFY(!central.w->drops().begin(local.w));
        local.walk({"r"});
        local.selectInList("g7");
        QVERIFY(!central.w->drops().begin(local.w));
    }
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
