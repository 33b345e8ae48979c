#include "commands/DemoDatabase.h"
#include "database/Connection.h"
#include "shell/ItemCommands.h"
#include "shell/Session.h"
#include "shell/ToolCommands.h"
#include "shell/ZEPDatabaseView.h"
#include "shell/frmDatabase.h"
#include "support/RecordingInteraction.h"
#include "support/SmallTree.h"
#include "support/TestDatabase.h"
#include "text/Documents.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"
#include "views/QtText.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QtTest>

#include <fstream>
#include <memory>

using namespace zep;
using namespace zep::test;

namespace {

/** A window on a fresh SQLite database holding the small tree of the navigation tests. */
struct Fixture {
    TestDatabase place{DatabaseEngine::SQLite};
    std::unique_ptr<SmallTree> rows;
    QPointer<frmDatabase> window;
    RecordingInteraction ui;

    explicit Fixture(bool fill = true) {
        auto db = place.create();
        if (fill)
            rows = std::make_unique<SmallTree>(*db);
    }
    ~Fixture() { delete window; }

    /** more names keys of the connection string ("Mode=Read") */
    frmDatabase& open(const std::string& more = {}) {
        window = new frmDatabase;
        window->setInteraction(&ui);
        window->setConnectionName(place.connectionString() + (more.empty() ? "" : ";" + more));
        window->load();
        window->show();
        QApplication::setActiveWindow(window);
        return *window;
    }
};

QStringList listKeys(frmDatabase& w) {
    QStringList keys;
    for (const ListRow& r : w.list().listModel().rows())
        keys << qs(r.key);
    return keys;
}

QString panel(frmDatabase& w, const char* name) {
    return w.findChild<QLabel*>(name)->text();
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
    auto* action = w.findChild<QAction*>(name);
    if (action)
        return action->text();
    auto* menu = w.findChild<QMenu*>(name);
    return menu ? menu->title() : QString();
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { loadDocuments(ZEP_SHARE_DIR, "en"); }
    void cleanup() { TextCatalog::instance().setLanguage("en"); }

    void startsOnValidDatabase() {
        Fixture f;
        frmDatabase& w = f.open();
        QVERIFY(w.valid());
        QCOMPARE(w.windowTitle(),
                 "[" + qtr("frmDatabase/Messages/localDB/text", "") + "] " + qs(f.place.path()));
        QCOMPARE(panel(w, "Version"), QString(" ZEP Viewer - v1.0.0  "));
        QCOMPARE(panel(w, "Language"), QString("en"));
        // Three function rows and the orphan ECU's address; the root listing shows them all.
        QCOMPARE(w.tree().treeModel().rowCount(w.tree().treeModel().indexOf("r")), 4);
        QCOMPARE(listKeys(w).size(), 4);
        QCOMPARE(panel(w, "Info"), QString("4 items"));
        QCOMPARE(w.depth(), 1);
    }

    void invalidDatabase_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("not a ZEP database") << 0;
        QTest::newRow("not a database at all") << 1;
        QTest::newRow("missing file") << 2;
    }
    void invalidDatabase() {
        QFETCH(int, kind);
        TempDir folder;
        const std::string path = folder.file("other.zdb");
        if (kind == 0) {
            QSqlDatabase plain = QSqlDatabase::addDatabase("QSQLITE", "plain");
            plain.setDatabaseName(qs(path));
            QVERIFY(plain.open());
            QSqlQuery(plain).exec("CREATE TABLE t (x)");
            plain.close();
        } else if (kind == 1) {
            std::ofstream(path) << "Standard Jet DB, or something else entirely";
        }
        QSqlDatabase::removeDatabase("plain");
        const std::string before = kind == 2 ? std::string() : readFile(path);
        frmDatabase w;
        RecordingInteraction ui;
        w.setInteraction(&ui);
        QVERIFY_THROWS_EXCEPTION(std::exception, w.setConnectionName(ConnectionString::forFile(path)));
        QVERIFY(!w.load());
        QCOMPARE(panel(w, "Info"), QString("Invalid ZEP database. Please check ! "));
        QVERIFY(!w.findChild<QToolBar*>("tbMain")->isEnabled());
        QVERIFY(!w.tree().isEnabled());
        QVERIFY(!w.list().isEnabled());
        QVERIFY(!w.findChild<QAction*>("mnuFileOpen")->isEnabled());
        QVERIFY(!std::filesystem::exists(path) || kind != 2);
        if (kind != 2)
            QCOMPARE(readFile(path), before); // nothing is written into another program's file
    }

    void listsEachLevel_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("depth");
        Fixture f;
        QTest::newRow("root") << "r" << QStringList{"g7", "g16", "g122", "g200"} << 2 << 1;
        QTest::newRow("function") << "g7" << QStringList{"h1", "h2", "h3"} << 9 << 2;
        QTest::newRow("ECU") << "h1" << QStringList{"a1", "a2"} << 11 << 3;
        // The application's own image is listed first as its default tuning.
        QTest::newRow("application") << "a2" << QStringList{"a2", "c1"} << 11 << 4;
    }
    void listsEachLevel() {
        QFETCH(QString, node);
        QFETCH(QStringList, keys);
        QFETCH(int, columns);
        QFETCH(int, depth);
        Fixture f;
        frmDatabase& w = f.open();
        if (node != "r") {
            // Walk down as a user does, so that the nodes found while listing exist.
            for (const std::string& step : {std::string("g7"), std::string("h1"), std::string("a2")}) {
                w.clickNode(step);
                if (step == ss(node))
                    break;
            }
        }
        QStringList shown = listKeys(w);
        shown.sort();
        keys.sort();
        QCOMPARE(shown, keys);
        QCOMPARE(w.list().listModel().columnCount(), columns);
        QCOMPARE(w.depth(), depth);
        QVERIFY(w.windowTitle().endsWith(
            node == "r" ? qs(f.place.path()) : QString("\\") + qs(w.tree().selectionPath().back()->text())));
    }

    void enabledStates() {
        struct Case {
            const char* node;
            bool listFocused;
            const char* item;
            const char* expected; // Open Save Delete Up Properties
        };
        const Case cases[] = {
            {"r", true, "", "10000"},    {"r", true, "g7", "10100"},  {"r", false, "", "00000"},
            {"g7", false, "", "10110"},  {"g7", true, "h1", "11111"}, {"h1", false, "", "11111"},
            {"h1", true, "a1", "11111"},
        };
        Fixture f;
        frmDatabase& w = f.open();
        for (const Case& c : cases) {
            w.clickNode(c.node);
            if (c.listFocused) {
                w.list().focusList();
                if (*c.item)
                    w.list().select(c.item);
                else
                    w.list().currentView()->clearSelection();
            } else {
                w.tree().setFocus();
            }
            w.updateEnabledState();
            QString state;
            for (const char* b : {"Open", "Save", "Delete", "Up", "Properties"})
                state += w.button(b)->isEnabled() ? '1' : '0';
            QCOMPARE(state + " at " + c.node, QString(c.expected) + " at " + c.node);
        }
    }

    void readOnlyDatabaseIsShownButNothingWrites() {
        Fixture f;
        frmDatabase& w = f.open("Mode=Read");
        QVERIFY2(w.windowTitle().contains(", read-only] "), qPrintable(w.windowTitle()));
        w.clickNode("g7");
        w.clickNode("h1");
        w.list().focusList();
        QVERIFY(w.list().select("a1"));
        w.updateEnabledState();
        QString state;
        for (const char* b : {"New", "Open", "Save", "Delete", "Properties"})
            state += w.button(b)->isEnabled() ? '1' : '0';
        QCOMPARE(state, QString("00101"));
        const QModelIndex a1 = w.list().listModel().index(w.list().listModel().rowOf("a1"), 0);
        QVERIFY(!(w.list().listModel().flags(a1) & Qt::ItemIsEditable));
    }

    void deleteOfTheDefaultTuningIsRefused() {
        Fixture f;
        frmDatabase& w = f.open();
        w.clickNode("g7");
        w.clickNode("h1");
        w.clickNode("a2");
        w.list().focusList();
        QVERIFY(w.list().select("a2"));
        w.buttonCommand("Delete");
        QCOMPARE(f.ui.texts(), std::vector<std::string>{"Unable to delete global item"});
        QVERIFY(w.list().listModel().rowOf("a2") >= 0);
    }

    void upListsTheParentWithTheNodeLeftSelected() {
        Fixture f;
        frmDatabase& w = f.open();
        w.clickNode("g7");
        w.clickNode("h1");
        w.buttonCommand("Up");
        QCOMPARE(w.depth(), 2);
        QCOMPARE(w.list().selectedKey(), std::string("h1"));
    }

    void headerClicksSortAndReverse() {
        Fixture f;
        frmDatabase& w = f.open();
        w.clickNode("g7");
        w.clickNode("h1");
        w.buttonCommand("Details");
        QCOMPARE(w.list().view(), ItemList::Details);
        QCOMPARE(listKeys(w), (QStringList{"a2", "a1"})); // "App A" before "App B"
        w.list().headerClicked(0);
        QCOMPARE(listKeys(w), (QStringList{"a1", "a2"}));
        w.list().headerClicked(1);
        QCOMPARE(w.list().sortOrder(), Qt::AscendingOrder);
        QCOMPARE(w.list().sortColumn(), 1);
    }

    void iconNamesWrapOnThreeLinesAndKeepTheirEndings_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("whole");
        QTest::newRow("short") << "Airbag" << true;
        QTest::newRow("function") << "Anti-lock braking system" << true;
        QTest::newRow("three words") << "Boîte de vitesses automatique" << true;
        QTest::newRow("tuning") << "SC6_SW21_CALIB_2003_B.s" << true;
        QTest::newRow("longer than three lines")
            << "SC6_SW21_CALIBRATION_OF_THE_FRONT_LEFT_SENSOR_FOR_THE_WINTER_TESTS_2003_B.s" << false;
    }
    void iconNamesWrapOnThreeLinesAndKeepTheirEndings() {
        QFETCH(QString, name);
        QFETCH(bool, whole);
        Fixture f;
        frmDatabase& w = f.open();
        w.buttonCommand("LargeIcons");
        auto* icons = qobject_cast<QListView*>(w.list().currentView());
        QVERIFY(icons);
        auto* delegate = qobject_cast<QStyledItemDelegate*>(icons->itemDelegate());
        QVERIFY(delegate);
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

    void splitterBarIsGreyWhileDraggedAndStopsNearTheEdges() {
        Fixture f;
        frmDatabase& w = f.open();
        auto* splitter = w.findChild<QSplitter*>("splitter");
        QSplitterHandle* bar = splitter->handle(1);
        const QPoint middle = bar->rect().center();
        const auto colour = [&] { return bar->grab().toImage().pixelColor(middle); };
        const QColor idle = colour();
        QTest::mousePress(bar, Qt::LeftButton, {}, middle);
        QCOMPARE(colour(), QColor(0x80, 0x80, 0x80));
        QTest::mouseMove(bar, middle - QPoint(4000, 0));
        QCOMPARE(splitter->sizes().first(), 6); // the bar's size from the left edge
        QTest::mouseMove(bar, middle + QPoint(4000, 0));
        QCOMPARE(splitter->sizes().last(), 6); // twice the bar's size from the right edge
        QTest::mouseRelease(bar, Qt::LeftButton, {}, middle);
        QCOMPARE(colour(), idle);
    }

    void backgroundPictures_data() {
        QTest::addColumn<bool>("userPicture"); // a red picture named by the file beside the database
        QTest::addColumn<int>("before");       // the entry chosen first; -1 none
        QTest::addColumn<int>("entry");        // 0 none, 1 user defined, 2 the first built-in picture
        QTest::addColumn<QString>("shown");    // behind the list: "base", "red" or "picture"
        QTest::newRow("none") << false << 2 << 0 << "base";
        QTest::newRow("built-in") << false << 0 << 2 << "picture";
        // Without a picture of the user's, the background stays as it was; the check mark moves.
        QTest::newRow("user defined, none loaded") << false << 2 << 1 << "picture";
        QTest::newRow("user defined") << true << 0 << 1 << "red";
        QTest::newRow("user's picture at start") << true << -1 << 1 << "red";
    }
    void backgroundPictures() {
        QFETCH(bool, userPicture);
        QFETCH(int, before);
        QFETCH(int, entry);
        QFETCH(QString, shown);
        Fixture f;
        Session::instance().userBackgroundPath.reset(); // read again from this test's folder
        if (userPicture) {
            const std::filesystem::path folder = std::filesystem::path(f.place.path()).parent_path();
            QImage red(64, 64, QImage::Format_RGB32);
            red.fill(Qt::red);
            QVERIFY(red.save(qs((folder / "red.png").string())));
            std::ofstream(folder / "ZEPViewer.xml")
                << "<?xml version=\"1.0\"?><software><userParameters><backgroundImage>"
                << (folder / "red.png").string() << "</backgroundImage></userParameters></software>";
        }
        frmDatabase& w = f.open();
        Session::instance().userBackgroundPath.reset();
        QList<QAction*> entries = w.findChild<QMenu*>("mnuViewBackground")->actions();
        if (before >= 0)
            entries[before]->trigger();
        entries[entry]->trigger();
        int checked = -1;
        for (int i = 0; i < entries.size(); ++i)
            if (entries[i]->isChecked())
                checked = i;
        QCOMPARE(checked, entry);
        QCOMPARE(entries[1]->isVisible(), userPicture);
        QWidget* behind = w.list().viewport();
        const QColor seen = behind->grab().toImage().pixelColor(behind->width() - 2, behind->height() - 2);
        const QColor base = behind->palette().color(QPalette::Base);
        QCOMPARE(seen == QColor(Qt::red) ? QString("red")
                 : seen == base          ? QString("base")
                                         : QString("picture"),
                 shown);
    }

    void languageSwitchTranslatesCaptionsAndHeaders() {
        Fixture f;
        TextCatalog::instance().setLanguage("de"); // a language the menu does not offer: English is checked
        frmDatabase& w = f.open();
        QCOMPARE(checkedLanguages(w), QStringList{"en"});
        const QString englishQuit = caption(w, "mnuFileQuit");
        // From an application selected in the list, where every command is enabled.
        w.clickNode("g7");
        w.clickNode("h1");
        w.list().focusList();
        w.list().select("a1");
        w.updateEnabledState();
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
        Fixture f;
        const std::string beside = std::filesystem::path(f.place.path()).parent_path() / "ZEPViewer.xml";
        std::ofstream(beside) << "<?xml version=\"1.0\"?><software><frmDatabase><Controls>"
                                 "<mnuFileQuit><caption>Leave now</caption></mnuFileQuit>"
                                 "<tbMain><Open><toolTip>Bring a file in</toolTip></Open></tbMain>"
                                 "</Controls></frmDatabase></software>";
        frmDatabase& w = f.open();
        QCOMPARE(caption(w, "mnuFileQuit"), QString("Leave now"));
        QCOMPARE(w.button("Open")->toolTip(), QString("Bring a file in"));
        const QString report = w.informationReport();
        QVERIFY(report.contains("User configuration file: " + qs(beside) + "\r\n"));
    }

    void informationReportLines() {
        Fixture f;
        frmDatabase& w = f.open();
        const QStringList lines = w.informationReport().split("\r\n");
        QCOMPARE(lines.first(), QString("Information"));
        QCOMPARE(lines[2], QString("ZEP Viewer version     : 1.0.0"));
        QCOMPARE(lines[3], "Database file          : " + qs(f.place.path()));
        QVERIFY(!w.informationReport().contains("User configuration file"));
        QVERIFY(lines[9].startsWith("Operating system       : Linux "));
        // The client area runs from the toolbar down to the status bar, under the menu bar.
        const int clientHeight =
            w.statusBar()->geometry().bottom() + 1 - w.findChild<QToolBar*>("tbMain")->y();
        QCOMPARE(lines[12], QString("Client size (pixels)   : %1x%2").arg(w.width()).arg(clientHeight));
        QCOMPARE(lines.last(), QString()); // the last line ends with CR LF too
    }

    void itemTagsAndCountInTheStatusBar() {
        Fixture f;
        frmDatabase& w = f.open();
        w.clickNode("g16");
        QCOMPARE(panel(w, "Info"), QString("0 item"));
        w.clickNode("g7");
        QCOMPARE(panel(w, "Info"), QString("3 items"));
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
        const QRect toolbar = sized.findChild<QToolBar*>("tbMain")->geometry();
        const QDir folder(qs(out.file("shots")));
        const QStringList english = folder.entryList({"en-[0-9]*.png"});
        QVERIFY(english.size() >= 5);
        for (const QString& name : english) {
            const QImage en(folder.filePath(name));
            const QImage fr(folder.filePath(QString(name).replace(0, 2, "fr")));
            QVERIFY2(en.copy(toolbar) == fr.copy(toolbar), qPrintable(name));
        }
    }

    void viewObjectShowsItsDatabase() {
        Fixture f;
        ZEPDatabaseView view;
        view.InitUserControl(ZEP_SHARE_DIR, "en");
        view.setFilename(f.place.path());
        QVERIFY(view.window());
        QVERIFY(view.window()->valid());
        QCOMPARE(view.filename(), f.place.path());
        QCOMPARE(view.baseUrl(), std::string(ZEP_SHARE_DIR));
        delete view.window();
    }

    void centralDatabaseRefusesDeletes() {
        if (!TestDatabase::server())
            QSKIP("PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)");
        TestDatabase place(DatabaseEngine::PostgreSQL);
        {
            auto db = place.create();
            SmallTree rows(*db);
        }
        frmDatabase w;
        RecordingInteraction ui;
        w.setInteraction(&ui);
        w.setConnectionName(place.connectionString());
        QVERIFY(w.load());
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(w.windowTitle().startsWith("[" + qtr("frmDatabase/Messages/centralDB/text", "") + "] "));
        QVERIFY(!w.windowTitle().contains(qs(ConnectionString::parse(place.connectionString()).password())) ||
                ConnectionString::parse(place.connectionString()).password().empty());
        w.clickNode("g7");
        w.list().focusList();
        w.list().select("h1");
        w.updateEnabledState();
        QVERIFY(!w.button("Delete")->isEnabled());
        QVERIFY(w.button("Properties")->isEnabled());
    }
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
