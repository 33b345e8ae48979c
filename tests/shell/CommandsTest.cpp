#include "database/Connection.h"
#include "database/ImageStore.h"
#include "dialogs/DialogTestSupport.h"
#include "dialogs/frmPropEcu.h"
#include "shell/DatabaseWindows.h"
#include "shell/DropHandler.h"
#include "shell/ItemCommands.h"
#include "shell/frmDatabase.h"
#include "support/RecordingInteraction.h"
#include "support/SmallTree.h"
#include "support/TestDatabase.h"
#include "text/Documents.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"
#include "views/QtText.h"

#include <QDesktopServices>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

using namespace zep;
using namespace zep::test;

namespace {

/** A window on a database of the small tree, answering file dialogs from a queue. */
struct Window {
    std::unique_ptr<TestDatabase> place;
    std::unique_ptr<SmallTree> rows;
    QPointer<frmDatabase> w;
    RecordingInteraction ui;
    std::deque<frmDatabase::FileChoice> files;

    explicit Window(DatabaseEngine engine = DatabaseEngine::SQLite, bool fill = true)
        : place(std::make_unique<TestDatabase>(engine)) {
        auto db = place->create();
        if (fill)
            rows = std::make_unique<SmallTree>(*db);
        else
            addFunction(*db, 7, "Engine control");
        db.reset();
        w = new frmDatabase;
        w->setInteraction(&ui);
        w->fileDialog = [this](frmDatabase::FileDialog, const QString&, const QString&, const QString&) {
            if (files.empty())
                return frmDatabase::FileChoice{};
            auto next = files.front();
            files.pop_front();
            return next;
        };
        w->setConnectionName(place->connectionString());
        w->load();
        w->show();
        QApplication::setActiveWindow(w);
    }
    ~Window() { delete w; }

    Connection& db() { return *w->connection(); }
    qint64 rowsOf(const QString& statement, const QVariantList& values = {}) {
        return count(db(), statement, values);
    }
    /** puts the focus in the list and selects key there */
    void selectInList(const std::string& key) {
        QApplication::setActiveWindow(w);
        w->list().focusList();
        QVERIFY(w->list().select(key));
        w->updateEnabledState();
    }
};

/** answers the next modal dialog with act, once it shows */
void whenModal(std::function<void(QDialog&)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            act(*dialog);
            return;
        }
        whenModal(act);
    });
}

std::string data(const char* name) {
    return std::string(ZEP_TEST_DATA) + "/" + name;
}

/** stands for the desktop's text editor */
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toLocalFile(); }
};

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { loadDocuments(ZEP_SHARE_DIR, "en"); }

    void openFlashFileIntoTheSelectedEcuAndSaveItBack() {
        Window t;
        // A tuning area where the file's data lie, so that the saved files hold them.
        t.db().execute(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (3, 65536, 4096, ?)",
            {true});
        t.db().execute("UPDATE [Hardwares] SET [FillPattern] = ? WHERE [Ecu Id] = 3",
                       {QByteArray("\xFF", 1)});
        t.w->clickNode("g7");
        t.w->clickNode("h3");
        t.w->tree().setFocus();
        const qint64 before = t.rowsOf("SELECT COUNT(*) FROM [Applications]");
        t.files.push_back({qs(data("flash/valdore.s")), 1});
        t.w->buttonCommand("Open");
        QCOMPARE(t.rowsOf("SELECT COUNT(*) FROM [Applications]"), before + 1);
        const std::string added = t.w->list().selectedKey();
        // The file is a tuning: it goes under a dummy application, whose listing shows it selected.
        QVERIFY(keyKind(added) == 'c');
        QCOMPARE(t.w->depth(), 4);
        QCOMPARE(t.w->tree().selectionPath().back()->text(), std::string("valdore.s"));

        // Saved in each format the filter names, from the list.
        TempDir out;
        t.selectInList(added);
        for (int filter : {1, 2, 3, 4}) {
            const std::string path = out.file("saved" + std::to_string(filter));
            t.files.push_back({qs(path), filter});
            t.ui.answers.push_back(Answer::Yes); // binHex, for the XML one
            t.w->buttonCommand("Save");
            QVERIFY2(std::filesystem::file_size(path) > 0, path.c_str());
        }
        // The fifth filter (all files) writes nothing.
        t.files.push_back({qs(out.file("none")), 5});
        t.w->buttonCommand("Save");
        QVERIFY(!std::filesystem::exists(out.file("none")));
    }

    void aBadFileOrACancelledDialogChangesNothing() {
        Window t;
        TempDir folder;
        std::ofstream(folder.file("bad.s")) << "S1130000ZZ\n";
        t.w->clickNode("g7");
        t.w->clickNode("h1");
        t.w->tree().setFocus();
        const qint64 before = t.rowsOf("SELECT COUNT(*) FROM [Applications]");
        t.w->buttonCommand("Open"); // cancelled: no file chosen
        t.files.push_back({qs(folder.file("bad.s")), 1});
        t.w->buttonCommand("Open");
        QCOMPARE(t.rowsOf("SELECT COUNT(*) FROM [Applications]"), before);
        QCOMPARE(t.ui.shown.back().kind, std::string("critical"));
        QCOMPARE(t.ui.shown.back().text, std::string("Invalid hexadecimal digits at line 1"));
        QCOMPARE(t.w->list().listModel().rowCount(), 2);
    }

    void openXmlWithoutAnEcuImportsIt() {
        Window t;
        t.w->tree().setFocus();
        t.files.push_back({qs(data("xml/ecu.base64.xml")), 1});
        t.ui.answers.assign(8, Answer::Yes);
        const qint64 before = t.rowsOf("SELECT COUNT(*) FROM [Hardwares]");
        t.w->buttonCommand("Open");
        // The file is read on another thread; the import follows on the window's.
        QTRY_COMPARE(t.rowsOf("SELECT COUNT(*) FROM [Hardwares]"), before + 1);
        QTRY_VERIFY(!t.w->commands().importing());
        // The tree was read anew: the imported ECU has its node.
        QSqlQuery ecu = t.db().execute("SELECT MAX([Ecu Id]) FROM [Hardwares]");
        QVERIFY(ecu.next());
        QVERIFY(t.w->treeSource().find("h" + std::to_string(ecu.value(0).toLongLong())));
    }

    void aFileDroppedOnTheTreeIsImported_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("added");
        QTest::newRow("one interchange file") << QStringList{qs(data("xml/ecu.base64.xml"))} << 1;
        QTest::newRow("two files") << QStringList{qs(data("xml/ecu.base64.xml")),
                                                  qs(data("xml/ecu.binhex.xml"))}
                                   << 0;
        QTest::newRow("not XML") << QStringList{qs(data("flash/valdore.s"))} << 0;
    }
    void aFileDroppedOnTheTreeIsImported() {
        QFETCH(QStringList, files);
        QFETCH(int, added);
        Window t;
        t.ui.answers.assign(8, Answer::Yes);
        QMimeData dropped;
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << QUrl::fromLocalFile(f);
        dropped.setUrls(urls);
        const qint64 before = t.rowsOf("SELECT COUNT(*) FROM [Hardwares]");
        const bool accepted = t.w->tree().acceptsDrop(dropped);
        QCOMPARE(accepted, files.size() == 1);
        if (accepted)
            t.w->tree().dropped(dropped);
        QTRY_VERIFY(!t.w->commands().importing());
        QCOMPARE(t.rowsOf("SELECT COUNT(*) FROM [Hardwares]"), before + added);
    }

    void newAndFurtherDatabaseWindows() {
        Window t;
        TempDir out;
        const std::size_t before = DatabaseWindows::all().size();
        // New Database: an empty local database in a window of its own.
        t.files.push_back({qs(out.file("new.zdb")), 1});
        QMetaObject::invokeMethod(t.w->findChild<QAction*>("mnuFileNewDatabase"), "trigger");
        QCOMPARE(DatabaseWindows::all().size(), before + 1);
        QPointer<frmDatabase> created = DatabaseWindows::all().back();
        QVERIFY(created->valid());
        QCOMPARE(created->pos(), t.w->pos() + QPoint(24, 24));
        QCOMPARE(created->treeSource().root()->childCount(), std::size_t(0));
        // An existing file is never replaced.
        t.files.push_back({qs(out.file("new.zdb")), 1});
        QMetaObject::invokeMethod(t.w->findChild<QAction*>("mnuFileNewDatabase"), "trigger");
        QCOMPARE(DatabaseWindows::all().size(), before + 1);
        QCOMPARE(t.ui.shown.back().kind, std::string("critical"));

        // Open Database: the chooser's answer opens another window on it.
        whenModal([&](QDialog& d) {
            child<QLineEdit>(d, "txtFile").setText(qs(out.file("new.zdb")));
            d.accept();
        });
        QMetaObject::invokeMethod(t.w->findChild<QAction*>("mnuFileDatabase"), "trigger");
        QCOMPARE(DatabaseWindows::all().size(), before + 2);
        QPointer<frmDatabase> opened = DatabaseWindows::all().back();
        QVERIFY(opened->valid());
        QCOMPARE(opened->dataSource(), out.file("new.zdb"));
        delete opened;
        delete created;
    }

    void kwpFileToTextOpensTheTextInAnEditor() {
        Window t;
        TempDir out;
        UrlCatcher editor;
        QDesktopServices::setUrlHandler("file", &editor, "open");
        t.files.push_back({qs(data("flash/app.kwp")), 1});
        t.files.push_back({qs(out.file("app.txt")), 1});
        QMetaObject::invokeMethod(t.w->findChild<QAction*>("mnuToolsKwp2Txt"), "trigger");
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(editor.opened, QStringList{qs(out.file("app.txt"))});
        std::ifstream expected(data("flash/app.kwp.txt"), std::ios::binary);
        std::ifstream written(out.file("app.txt"), std::ios::binary);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(written), {}),
                 std::string(std::istreambuf_iterator<char>(expected), {}));
    }

    void popupEntriesFollowTheButtons() {
        Window t;
        t.w->clickNode("g7");
        t.w->clickNode("h1");
        t.selectInList("a1");
        emit t.w->list().popupRequested(t.w->mapToGlobal(QPoint(200, 200)));
        auto* menu = t.w->findChild<QMenu*>("mnuPopup");
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(t.w->findChild<QAction*>("mnuPopupCreateTestDataSet")->isEnabled());
        QVERIFY(t.w->findChild<QAction*>("mnuPopupDelete")->isEnabled());
        QCOMPARE(menu->defaultAction(), t.w->findChild<QAction*>("mnuPopupProperties"));
        menu->close();
    }

    void rightClickInTheTreeActsOnTheNodeUnderThePointer_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("properties");
        QTest::newRow("a function from an ECU") << "h1"
                                                << "g7" << false;
        QTest::newRow("another ECU") << "h1"
                                     << "h3" << true;
        QTest::newRow("the root") << "h1"
                                  << "r" << false;
    }
    void rightClickInTheTreeActsOnTheNodeUnderThePointer() {
        QFETCH(QString, from);
        QFETCH(QString, target);
        QFETCH(bool, properties);
        Window t;
        t.w->clickNode("g7");
        t.w->clickNode(ss(from));
        DatabaseTree& tree = t.w->tree();
        const QRect at = tree.visualRect(tree.treeModel().indexOf(ss(target)));
        QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, at.center());
        // The node under the pointer ends the path and is the one the commands act on.
        QCOMPARE(qs(tree.selectionPath().back()->key()), target);
        QCOMPARE(qs(tree.currentNode()->key()), target);
        auto* menu = t.w->findChild<QMenu*>("mnuPopup");
        QCOMPARE(menu->isVisible(), target != "r"); // no pop-up on the root
        QCOMPARE(t.w->button("Properties")->isEnabled(), properties);
        if (!menu->isVisible())
            return;
        QAction* entry = t.w->findChild<QAction*>("mnuPopupProperties");
        QCOMPARE(entry->isEnabled(), properties);
        // From the tree, no data set.
        QVERIFY(!t.w->findChild<QAction*>("mnuPopupCreateTestDataSet")->isEnabled());
        menu->close();
        if (!properties)
            return;
        QString shown;
        whenModal([&](QDialog& d) {
            shown = d.windowTitle();
            d.reject();
        });
        entry->trigger();
        QCOMPARE(shown, qs(tree.currentNode()->text()));
    }

    void deleteAndRenameInTheListAndTheTree() {
        Window t;
        t.w->clickNode("g7");
        t.selectInList("h3");
        t.ui.answers.push_back(Answer::Yes);
        t.w->buttonCommand("Delete");
        QCOMPARE(t.rowsOf("SELECT COUNT(*) FROM [Hardwares] WHERE [Ecu Id] = 3"), 0);
        QCOMPARE(t.w->list().listModel().rowOf("h3"), -1);
        QVERIFY(!t.w->treeSource().find("h3"));

        t.w->clickNode("h1");
        auto& model = t.w->list().listModel();
        QVERIFY(model.setData(model.index(model.rowOf("a1"), 0), "  Renamed 'app' é  ", Qt::EditRole));
        QSqlQuery name = t.db().execute("SELECT [App Name] FROM [Applications] WHERE [App Id] = 1");
        QVERIFY(name.next());
        QCOMPARE(name.value(0).toString(), QString("Renamed 'app' é"));
        QCOMPARE(t.w->treeSource().find("a1")->text(), std::string("Renamed 'app' é"));
        // A blank name is refused and changes nothing.
        model.setData(model.index(model.rowOf("a1"), 0), "   ", Qt::EditRole);
        QCOMPARE(t.w->treeSource().find("a1")->text(), std::string("Renamed 'app' é"));
    }

    void findListsItemsOfEveryKindAndGoesToOne() {
        Window t;
        t.w->buttonCommand("Find");
        auto& query = child<QLineEdit>(*t.w, "txtFind");
        QVERIFY(query.hasFocus() || !QApplication::focusWidget());
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
        Window t;
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
                                       "AS m ON m.[Ecu Id] = h.[Ecu Id]"
                                       " WHERE h.[Nom] = 'Body 2'");
        QVERIFY(ecu.next());
        QCOMPARE(ecu.value(1).toInt(), 0x1000);
        QCOMPARE(t.w->list().selectedKey(), "h" + ecu.value(0).toString().toStdString());
        QVERIFY(t.w->treeSource().find(t.w->list().selectedKey()));

        if (!TestDatabase::server())
            return;
        Window central(DatabaseEngine::PostgreSQL);
        central.w->clickNode("g7");
        central.w->tree().setFocus();
        central.w->buttonCommand("New");
        QCOMPARE(central.ui.shown.size(), std::size_t(1)); // refused, before any dialog
    }

    void propertiesOfAnApplicationAreStored() {
        Window t;
        // An identification as the Open command stores it.
        t.db().execute(
            "UPDATE [Applications] SET [Homologation] = '0000000000', [Hardware] = '0000000000',"
            " [Software] = '0000', [Version] = '0000', [Calibration] = '0000', [Réserve] = '00000000'");
        t.w->clickNode("g7");
        t.w->clickNode("h1");
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
        QSqlQuery row =
            t.db().execute("SELECT [Homologation], [Commentaire] FROM [Applications] WHERE [App Id] = 1");
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toString(), QString("00000ABCDE"));
        QCOMPARE(row.value(1).toString(), QString("checked on the bench"));
        const ListRow& item = t.w->list().listModel().row(t.w->list().listModel().rowOf("a1"));
        QCOMPARE(item.subItems.at(9), std::string("00000ABCDE"));
    }

    void propertiesCompareTheImageWithItsWriteMap_data() {
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QStringList>("rows");
        // ECU 1 writes 0-FFF and its tuning area 8000-80FF; application 2 covers both and 9000-91FF,
        // its tuning 1 the first half of the tuning area.
        const QStringList ecu{"g7", "h1"}, application{"g7", "h1", "a2"};
        QTest::newRow("application") << ecu << "a2"
                                     << "Exceed" << QStringList{"9000|91FF|200|"};
        QTest::newRow("default tuning") << application << "a2"
                                        << "Mapping" << QStringList{"8000|80FF|100|"};
        QTest::newRow("default tuning exceed") << application << "a2"
                                               << "Exceed" << QStringList{"|||"};
        QTest::newRow("tuning") << application << "c1"
                                << "Mapping" << QStringList{"8000|807F|80|"};
        QTest::newRow("tuning missing") << application << "c1"
                                        << "Missing" << QStringList{"8080|80FF|80|"};
    }
    void propertiesCompareTheImageWithItsWriteMap() {
        QFETCH(QStringList, nodes);
        QFETCH(QString, item);
        QFETCH(QString, tab);
        QFETCH(QStringList, rows);
        Window t;
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
        for (const QString& node : nodes)
            t.w->clickNode(ss(node));
        t.selectInList(ss(item));
        QStringList shown;
        whenModal([&](QDialog& d) {
            auto& tabs = child<QTabWidget>(d, "tsMapping");
            for (int i = 0; i < tabs.count(); ++i)
                if (tabs.widget(i)->objectName() == tab)
                    tabs.setCurrentIndex(i);
            shown = gridRows(child<QTableWidget>(d, "gridMapping"));
            d.reject();
        });
        t.w->buttonCommand("Properties");
        QCOMPARE(shown, rows);
    }

    void propertiesOfAnEcuAreStored() {
        Window t;
        t.w->clickNode("g7");
        t.selectInList("h2");
        whenModal([](QDialog& d) {
            auto& delay = child<QLineEdit>(d, "txtInterByteDelay");
            delay.selectAll();
            QTest::keyClicks(&delay, "300");
            d.accept();
        });
        t.w->buttonCommand("Properties");
        QSqlQuery row = t.db().execute("SELECT [InterByteDelay] FROM [Hardwares] WHERE [Ecu Id] = 2");
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toInt(), 255);
        // Cancelled: nothing changes.
        whenModal([](QDialog& d) {
            child<QLineEdit>(d, "txtInterByteDelay").setText("3");
            d.reject();
        });
        t.w->buttonCommand("Properties");
        QSqlQuery again = t.db().execute("SELECT [InterByteDelay] FROM [Hardwares] WHERE [Ecu Id] = 2");
        QVERIFY(again.next());
        QCOMPARE(again.value(0).toInt(), 255);
    }

    void dataSetAddsADummyApplication() {
        Window t;
        t.db().execute(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (1, 4096, 256, ?)",
            {false});
        t.db().execute("UPDATE [Hardwares] SET [FillPattern] = ? WHERE [Ecu Id] = 1",
                       {QByteArray("\xFF", 1)});
        t.w->clickNode("g7");
        t.w->clickNode("h1");
        t.selectInList("a1");
        whenModal([](QDialog& d) {
            child<QLineEdit>(d, "txtLength").setText("100");
            child<QLineEdit>(d, "txtByteValue").setText("AA");
            QMetaObject::invokeMethod(&d, "create");
        });
        t.w->commands().createTestDataSet();
        QCOMPARE(t.rowsOf("SELECT COUNT(*) FROM [Applications] WHERE [App Name] LIKE 'DUMMY%'"), 1);
        QVERIFY(keyKind(t.w->list().selectedKey()) == 'a');
    }

    void calculatorStartsTheFirstProgramFound_data() {
        QTest::addColumn<QStringList>("programs");
        QTest::addColumn<QString>("started");
        QTest::newRow("the first in the order of preference") << QStringList{"xcalc", "kcalc"} << "kcalc";
        QTest::newRow("none: nothing happens") << QStringList{} << "";
    }
    void calculatorStartsTheFirstProgramFound() {
        QFETCH(QStringList, programs);
        QFETCH(QString, started);
        Window t;
        TempDir bin;
        // Stand-ins for the desktop's calculators: each leaves its name in a file when started.
        for (const QString& program : programs) {
            const std::string path = bin.file(ss(program));
            std::ofstream(path) << "#!/bin/sh\necho " << ss(program) << " > " << bin.file("started") << "\n";
            std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", qs(bin.path()).toUtf8());
        QMetaObject::invokeMethod(t.w->findChild<QAction*>("mnuToolsCalc"), "trigger");
        qputenv("PATH", path);
        if (started.isEmpty()) {
            QTest::qWait(200);
            QVERIFY(!std::filesystem::exists(bin.file("started")));
        } else {
            QTRY_VERIFY(std::filesystem::exists(bin.file("started")));
            std::ifstream in(bin.file("started"));
            std::string name;
            in >> name;
            QCOMPARE(qs(name), started);
        }
        QVERIFY(t.ui.shown.empty());
    }

    void aboutBoxNamesTheProgramVersionAndCopyright() {
        Window t;
        QString text;
        whenModal([&](QDialog& d) {
            text = static_cast<QMessageBox&>(d).text();
            d.accept();
        });
        QMetaObject::invokeMethod(t.w->findChild<QAction*>("mnuHelpAbout"), "trigger");
        QCOMPARE(text, QString("ZEPViewer - v1.0.0\r\nCopyright (c) ZEPViewer developers"));
    }

    void compactionOfTheOpenDatabase() {
        Window t;
        TempDir out;
        t.files.push_back({qs(t.place->path()), 1});
        t.files.push_back({qs(out.file("compact.zdb")), 1});
        t.w->commands();
        QMetaObject::invokeMethod(t.w->findChild<QAction*>("mnuToolsCompactDB"), "trigger");
        QVERIFY(std::filesystem::exists(out.file("compact.zdb")));
        QCOMPARE(t.ui.shown.size(), std::size_t(1));
        QVERIFY(t.ui.shown[0].text.find(out.file("compact.zdb")) != std::string::npos);
        // The window works on its own file again.
        QVERIFY(t.w->connection());
        t.w->clickNode("g7");
        QCOMPARE(t.w->list().listModel().rowCount(), 3);
    }

    void dragFromACentralWindowIntoALocalOne() {
        if (!TestDatabase::server())
            QSKIP("PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)");
        Window central(DatabaseEngine::PostgreSQL);
        Window local(DatabaseEngine::SQLite, false);
        QVERIFY(central.w->isCentral());

        // An ECU of function 7 into the local function 7.
        central.w->clickNode("g7");
        central.selectInList("h1");
        local.w->clickNode("g7");
        QVERIFY(local.w->drops().begin(central.w));
        local.w->drops().dropOn({});
        QCOMPARE(local.rowsOf("SELECT COUNT(*) FROM [Hardwares] WHERE [Nom] = 'Injection'"), 1);
        const std::string copied = local.w->list().selectedKey();
        QVERIFY(keyKind(copied) == 'h');

        // An application into that ECU, with its image rows.
        central.w->clickNode("h1");
        central.selectInList("a1");
        local.w->clickNode(copied);
        QVERIFY(local.w->drops().begin(central.w));
        local.w->drops().dropOn({});
        QCOMPARE(local.rowsOf("SELECT COUNT(*) FROM [Applications] WHERE [App Name] = 'App B'"), 1);
        QVERIFY(local.w->treeSource().find(local.w->list().selectedKey()));

        // The same application dropped on its copy compares them: no difference, nothing written.
        local.ui.answers.push_back(Answer::Cancel);
        QVERIFY(local.w->drops().begin(central.w));
        local.w->drops().dropOn(local.w->list().selectedKey());
        QCOMPARE(local.rowsOf("SELECT COUNT(*) FROM [Applications]"), 1);

        // Refusals: an ECU into the root; anything into the root of the central database.
        local.w->clickNode("r");
        central.w->clickNode("g7");
        central.selectInList("h2");
        QVERIFY(!local.w->drops().begin(central.w));
        local.w->clickNode("g7");
        local.selectInList(copied);
        central.w->clickNode("r");
        central.w->buttonCommand("Up");
        QVERIFY(!central.w->drops().begin(local.w));
        local.w->clickNode("r");
        local.selectInList("g7");
        QVERIFY(!central.w->drops().begin(local.w));
    }

    void centralDatabaseRefusesToDeleteAnEcu() {
        if (!TestDatabase::server())
            QSKIP("PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)");
        Window central(DatabaseEngine::PostgreSQL);
        central.w->clickNode("g7");
        central.selectInList("h1");
        // The button is disabled; the command itself refuses too.
        QVERIFY(!central.w->button("Delete")->isEnabled());
        central.w->commands().deleteItem("h1", "Injection");
        QCOMPARE(central.rowsOf("SELECT COUNT(*) FROM [Hardwares] WHERE [Ecu Id] = 1"), 1);
    }
};

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
