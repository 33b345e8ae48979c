#include "TestWindow.h"

#include "commands/DemoDatabase.h"
#include "database/ConnectionString.h"
#include "shell/Session.h"
#include "shell/ZEPDatabaseView.h"
#include "text/Documents.h"
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
#include <map>

using namespace zep;
using namespace zep::test;

// The window itself: what it shows of a database, which commands it offers where, its views and
// texts. The commands are in CommandsTest.cpp.

namespace {

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
        struct Case {
            char database; // l local, r read-only, c central
            const char* path;
            const char* item; // selected in the list ("" none); null: the tree has the focus
            const char*
                expected; // New Open Save Delete Up Properties, then whether the item's name may change
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
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
