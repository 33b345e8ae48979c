#include "TestWindow.h"

#include "database/ImageStore.h"
#include "shell/DatabaseWindows.h"
#include "shell/DropHandler.h"
#include "shell/ItemCommands.h"
#include "text/Documents.h"
#include "views/QtText.h"

#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QtTest>

#include <filesystem>
#include <fstream>

using namespace zep;
using namespace zep::test;

// One scenario per command, as a user starts it from the window: what the widget-free command does
// with each input is told by tests/commands; here the window's part: the file it asks for, where the
// result shows, and the refusals it makes itself.

namespace {

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

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { loadDocuments(ZEP_SHARE_DIR, "en"); }

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

    void propertiesCompareTheImageWithItsWriteMap() {
        // ECU 1 writes 0-FFF and its tuning area 8000-80FF; application 2 covers both and 9000-91FF,
        // its tuning 1 the first half of the tuning area.
        const struct {
            const char *item, *tab;
            QStringList rows;
        } cases[] = {
            // clang-format off
            {"a2", "Exceed", {"9000|91FF|200|"}}, // the application
            {"a2", "Mapping", {"8000|80FF|100|"}}, // its default tuning: the application in the tuning area
            {"c1", "Missing", {"8080|80FF|80|"}}, // its tuning
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
        for (const auto& [item, tab, rows] : cases) {
            t.selectInList(item);
            QStringList shown;
            whenModal([&](QDialog& d) {
                QVERIFY(showTab(d, tab));
                shown = gridRows(child<QTableWidget>(d, "gridMapping"));
                d.reject();
            });
            t.w->buttonCommand("Properties");
            QCOMPARE(shown, rows);
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
            QTRY_COMPARE(readFile(bin.file("started")), started.empty() ? started : started + "\n");
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

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
