#include "support/RecordingInteraction.h"
#include "support/WidgetTests.h"

#include "database/Connection.h"
#include "database/ConnectionString.h"
#include "dialogs/DatabaseChooser.h"
#include "dialogs/frmCompare.h"
#include "dialogs/frmCreateTestDataSet.h"
#include "dialogs/frmHexView.h"
#include "dialogs/frmPropAppli.h"
#include "dialogs/frmPropEcu.h"
#include "dialogs/frmText.h"
#include "flash/EcuApplication.h"
#include "memory/ZepError.h"
#include "text/Documents.h"
#include "text/TextCatalog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

using namespace zep;
using namespace zep::test;

Q_DECLARE_METATYPE(zep::Answer)

// The input rules of the dialogs have their tables without widgets (tests/commands); these tests check
// that the dialogs pass the user's edits to them, show what they decide and close as the user means.

namespace {

const std::string ApprovalError = "Approval field must be 5 bytes in hexadecimal (10 characters).";

ZEPEcu sampleEcu() {
    ZEPEcu ecu;
    ecu.Nom = "ECU_SAMPLE";
    ecu.IdentificationType = 32768;
    ecu.SupplierHex = "5A4550";
    ecu.FillPattern = MemBlock::fromHex("FFFF");
    ecu.WriteGranularity = 128;
    ecu.InterByteDelay = 2;
    ecu.ReplyToRequestDelay = 25;
    ecu.Commentaire = "Engine controller";
    ecu.addMapping(0x0000, 0x1000, false);
    ecu.addMapping(0x2000, 0x800, true);
    ecu.addExclusion(0x2200, 0x100, true);
    return ecu;
}

/** an image over an ECU with 1000-1FFF outside and 8000-85FF inside its tuning area */
EcuApplication image(bool tuning) {
    EcuApplication app;
    app.Ecu().addMapping(0x1000, 0x1000, false);
    app.Ecu().addMapping(0x8000, 0x600, true);
    app.setEstCalibration(tuning);
    if (tuning)
        app.value().add(0x8000, std::vector<std::uint8_t>(0x600, 0x5A));
    app.Homologation = "0123456789";
    return app;
}

/** an ECU with 4096 + 2048 bytes to write in a global download, 2048 of them in its tuning area */
DataSet::Target target(bool tuning) {
    DataSet::Target t;
    t.tuning = tuning;
    t.ecu.Nom = "ECU_DS";
    t.ecu.FillPattern = MemBlock::fromHex("A5FF");
    t.ecu.addMapping(0x0000, 0x1000, false);
    t.ecu.addMapping(0x4000, 0x1000, true);
    t.ecu.addExclusion(0x4800, 0x800, true);
    return t;
}

/** clicks the button named how, closes the window ("close") or presses Escape ("escape") */
void closeBy(QDialog& dialog, const QString& how) {
    if (how == "close")
        dialog.close();
    else if (how == "escape")
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        QTest::mouseClick(&child<QPushButton>(dialog, how.toLatin1().constData()), Qt::LeftButton);
}

/** the texts of a control are shown whole, and the control lies inside the window */
void checkControls(QWidget& window) {
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->objectName().startsWith("qt_"))
            continue;
        const QRect place(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        QVERIFY2(window.rect().contains(place),
                 qPrintable(widget->objectName() + " lies outside the window"));
        const auto* label = qobject_cast<QLabel*>(widget);
        if ((label != nullptr && !label->wordWrap()) || qobject_cast<QAbstractButton*>(widget) != nullptr)
            QVERIFY2(widget->width() >= widget->minimumSizeHint().width(),
                     qPrintable(widget->objectName() + " is cut: " + widget->property("text").toString()));
    }
}

/** every file of the folder with its bytes */
std::map<QString, QByteArray> snapshot(const QString& folder) {
    std::map<QString, QByteArray> files;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(entry.filePath());
        files[entry.fileName()] =
            file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    return files;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    // The dialogs read their identification types and texts from the language file.
    void initTestCase() { loadDocuments(ZEP_SHARE_DIR, "en"); }

    void ecuDialogShowsWhatItsRulesDecide() {
        ZEPEcu ecu = sampleEcu();
        ecu.InterByteDelay = 300;
        frmPropEcu dialog(ecu);
        QCOMPARE(dialog.windowTitle(), QString("ECU_SAMPLE"));
        QCOMPARE(child<QLineEdit>(dialog, "txtInterByteDelay").text(), QString("255"));
        auto& types = child<QComboBox>(dialog, "cbIdentificationType");
        QCOMPARE(types.currentText(), QString("VALDORE"));
        QVERIFY(!types.isEnabled());
        QCOMPARE(child<QLineEdit>(dialog, "txtSupplierCode").text(), QString("ZEP"));
        QVERIFY(child<QLineEdit>(dialog, "txtSupplierCode").isReadOnly());

        // The map tabs: the erasing classes in colours, the numbers aligned right.
        const QString green = "#c0ffc0", yellow = "#ffffc0", red = "#ffc0c0", blue = "#c0c0ff";
        const struct {
            const char* tab;
            QStringList rows, colours;
        } tabs[] = {
            // clang-format off
            {"Calibration", {"2000|21FF|200|", "2300|27FF|500|1.3"}, {green, green}},
            {"Global", {"0|FFF|1000|4", "2000|21FF|200|", "2300|27FF|500|1.3"}, {yellow, yellow, yellow}},
            {"Mapping", {"0|FFF|1000|4|global only|", "1000|1FFF|1000|4|never|", "2000|21FF|200||tuning|", "2200|22FF|100||tuning|yes", "2300|27FF|500|1.3|tuning|"}, {red, blue, green, green, green}},
            // clang-format on
        };
        auto& grid = child<QTableWidget>(dialog, "gridMapping");
        for (const auto& [tab, rows, colours] : tabs) {
            QVERIFY(showTab(dialog, tab));
            QCOMPARE(headerTexts(grid).size(), QString(tab) == "Mapping" ? 6 : 4);
            QCOMPARE(gridRows(grid), rows);
            for (int row = 0; row < grid.rowCount(); ++row)
                for (int column = 0; column < grid.columnCount(); ++column) {
                    QCOMPARE(grid.item(row, column)->background().color().name(), colours[row]);
                    QCOMPARE(bool(grid.item(row, column)->textAlignment() & Qt::AlignRight), column < 4);
                }
        }
        QCOMPARE(headerTexts(grid),
                 (QStringList{"Start", "End", "Length", "Size (KB)", "Erasing", "Excluded"}));

        // Typing and leaving a box go to the rules; the patterns take hexadecimal digits only.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto& granularity = child<QLineEdit>(dialog, "txtWriteGranularity");
        auto& pattern = child<QLineEdit>(dialog, "txtFillPattern");
        replaceTyped(granularity, "4");
        QCOMPARE(pattern.text(), QString("FFFFFFFF"));
        pattern.setFocus();
        pattern.clear();
        QTest::keyClicks(&pattern, "abcxz");
        QCOMPARE(pattern.text(), QString("abc"));
        QCOMPARE(granularity.text(), QString("1"));
        child<QPlainTextEdit>(dialog, "txtComment").setFocus();
        QTRY_COMPARE(pattern.text(), QString("ab"));
    }

    void ecuDialogStoresItsEditsOnOkOnly() {
        for (const bool ok : {true, false}) {
            ZEPEcu ecu;
            ecu.Commentaire = "old";
            ecu.FillPattern = MemBlock::fromHex("FF");
            ecu.UploadRL = ZEPEcu::UploadWithCrc;
            frmPropEcu dialog(ecu);
            bool clickChanges = false;
            whenModal([&](QDialog&) {
                replaceTyped(child<QLineEdit>(dialog, "txtReplyToRequestDelay"), "30");
                child<QPlainTextEdit>(dialog, "txtComment").setPlainText("new");
                replaceTyped(child<QLineEdit>(dialog, "txtFillPattern"), "00AA");
                auto& upload = child<QCheckBox>(dialog, "chkUploadwCRC");
                QTest::mouseClick(&upload, Qt::LeftButton, {}, QPoint(4, upload.height() / 2)); // on the box
                clickChanges = dialog.changed();
                QTest::mouseClick(&child<QPushButton>(dialog, ok ? "OKButton" : "CancelButton"),
                                  Qt::LeftButton);
            });
            QCOMPARE(dialog.run(), ok);
            QVERIFY(clickChanges);
            QCOMPARE(ecu.ReplyToRequestDelay, ok ? 30 : 0);
            QCOMPARE(ecu.Commentaire, std::string(ok ? "new" : "old"));
            QCOMPARE(ecu.FillPattern.toHex(), std::string(ok ? "00AA" : "FF"));
            QCOMPARE(int(ecu.UploadRL), int(ok ? ZEPEcu::UploadWithoutCrc : ZEPEcu::UploadWithCrc));
        }
    }

    void appliShowsTheImage() {
        EcuApplication app = image(true);
        RecordingInteraction ui;
        QString comment = "comment";
        frmPropAppli dialog("APP_1", comment, app, ui);
        QCOMPARE(dialog.windowTitle(), QString("APP_1"));
        QCOMPARE(child<QLineEdit>(dialog, "txtApprovalNumber").text(), QString("0123456789"));
        QCOMPARE(child<QPlainTextEdit>(dialog, "txtComment").toPlainText(), QString("comment"));
        auto& grid = child<QTableWidget>(dialog, "gridMapping");
        QCOMPARE(grid.toolTip(), QString("Description of ECU addresses ranges."));
        QCOMPARE(headerTexts(grid),
                 (QStringList{"Start", "End", "Length", "Size (KB)", "KWP CRC", "CRC-32", "Byte sum"}));
        QCOMPARE(gridRows(grid), QStringList{"8000|85FF|600|1.5|C4F7|49B0A743|00021C00"});
        QCOMPARE(child<QLineEdit>(dialog, "Total").text(), QString("1536 bytes - 2 KBytes"));
        QCOMPARE(child<QLineEdit>(dialog, "txtChecksums").text(),
                 QString("KWP CRC C4F7, CRC-32 49B0A743, byte sum 00021C00"));
        // a tab without ranges still shows one empty row
        QVERIFY(showTab(dialog, "Missing"));
        QCOMPARE(gridRows(grid), QStringList{"|||"});
        QCOMPARE(child<QLineEdit>(dialog, "Total").text(), QString("0 bytes - 0 KBytes"));
    }

    void appliApprovalCheckedWhenLeavingTheBox() {
        EcuApplication app = image(false);
        RecordingInteraction ui;
        QString comment;
        frmPropAppli dialog("APP", comment, app, ui);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto& approval = child<QLineEdit>(dialog, "txtApprovalNumber");
        approval.setFocus();
        QTest::keyClick(&approval, Qt::Key_End);
        QTest::keyClick(&approval, Qt::Key_Backspace);
        QTest::keyClick(&dialog, Qt::Key_Tab);
        QTRY_COMPARE(ui.texts(), std::vector<std::string>{ApprovalError});
        QTRY_VERIFY(approval.hasFocus());

        QTest::keyClicks(&approval, "00000abcde");
        QCOMPARE(approval.selectedText(), QString()); // typing replaced the selected text
        QTest::keyClick(&dialog, Qt::Key_Tab);
        QTRY_VERIFY(!approval.hasFocus());
        QTest::qWait(10);
        QCOMPARE(ui.shown.size(), std::size_t(1));
        dialog.reject();
    }

    void appliClosing_data() {
        QTest::addColumn<QString>("edit"); // "", "comment", "approval", "bad approval"
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("refusals"); // approval messages
        QTest::addColumn<bool>("changed");
        const QList<Answer> none, yes{Answer::Yes}, no{Answer::No}, cancel{Answer::Cancel};
        // clang-format off
        QTest::newRow("OK without edits") << "" << "OKButton" << none << 0 << 0 << false;
        QTest::newRow("OK with an approval") << "approval" << "OKButton" << none << 0 << 0 << true;
        QTest::newRow("OK refuses a bad approval") << "bad approval" << "OKButton" << none << 0 << 1 << false;
        QTest::newRow("Cancel without edits") << "" << "CancelButton" << none << 0 << 0 << false;
        QTest::newRow("Cancel, Yes") << "comment" << "CancelButton" << yes << 1 << 0 << true;
        QTest::newRow("Cancel, No") << "approval" << "CancelButton" << no << 1 << 0 << false;
        QTest::newRow("Cancel, Cancel stays open") << "comment" << "CancelButton" << cancel << 1 << 0 << false;
        QTest::newRow("Cancel, Yes with a bad approval") << "bad approval" << "CancelButton" << yes << 1 << 1 << false;
        QTest::newRow("Escape asks as Cancel") << "comment" << "escape" << yes << 1 << 0 << true;
        QTest::newRow("close box never saves") << "comment" << "close" << none << 0 << 0 << false;
        // clang-format on
    }
    void appliClosing() {
        QFETCH(QString, edit);
        QFETCH(QString, button);
        QFETCH(QList<Answer>, answers);
        QFETCH(int, questions);
        QFETCH(int, refusals);
        QFETCH(bool, changed);
        EcuApplication app = image(false);
        RecordingInteraction ui;
        ui.answers.assign(answers.begin(), answers.end());
        QString comment = "before";
        frmPropAppli dialog("APP", comment, app, ui);
        bool stayedOpen = false;
        whenModal([&](QDialog&) {
            auto& approval = child<QLineEdit>(dialog, "txtApprovalNumber");
            if (edit == "comment") {
                auto& box = child<QPlainTextEdit>(dialog, "txtComment");
                box.moveCursor(QTextCursor::End);
                QTest::keyClicks(&box, " after");
            } else if (!edit.isEmpty()) {
                replaceTyped(approval, edit == "approval" ? "00000abcde" : "12");
            }
            closeBy(dialog, button);
            stayedOpen = dialog.isVisible();
            if (stayedOpen)
                dialog.close();
        });
        QCOMPARE(dialog.run(), changed);
        int asked = 0, refused = 0;
        for (const auto& shown : ui.shown) {
            asked += shown.kind == "ask" && shown.text == "Save modifications before closing window ?";
            refused += shown.text == ApprovalError;
        }
        QCOMPARE(asked, questions);
        QCOMPARE(refused, refusals);
        QCOMPARE(stayedOpen, refusals > 0 || answers.value(0, Answer::Ok) == Answer::Cancel);
        QCOMPARE(comment, changed && edit == "comment" ? QString("before after") : QString("before"));
        QCOMPARE(app.Homologation,
                 changed && edit == "approval" ? std::string("00000abcde") : std::string("0123456789"));
    }

    void dataSetDialogShowsItsTargetAndRefusesBadInput() {
        for (const bool tuning : {true, false}) {
            RecordingInteraction ui;
            frmCreateTestDataSet dialog(target(tuning), ui);
            const QString maxSize = tuning ? "2048" : "6144";
            QCOMPARE(dialog.windowTitle(), QString("Data set generator"));
            QCOMPARE(child<QLineEdit>(dialog, "txtEcuName").text(), QString("ECU_DS"));
            QCOMPARE(child<QLineEdit>(dialog, "txtEraseByteValue").text(), QString("A5"));
            QCOMPARE(child<QLineEdit>(dialog, "txtMaxSize").text(), maxSize);
            QCOMPARE(child<QLineEdit>(dialog, "txtLength").text(), maxSize);
            QCOMPARE(child<QLabel>(dialog, "lblTuningOrGlobal").text(), tuning ? "(tuning)" : "(global)");
            if (tuning) {
                child<QPushButton>(dialog, "cmdCancel").click();
                QCOMPARE(dialog.result(), int(QDialog::Rejected));
                QVERIFY(!dialog.input().has_value());
                continue;
            }
            // A refusal says why and leaves the focus in the box to correct.
            const struct {
                const char *length, *byte, *message, *focus;
            } inputs[] = {
                // clang-format off
                {"12a", "5", "Length should be numeric", "txtLength"},
                {"100", "1FF", "Error: 6\r\nOverflow", "txtByteValue"},
                {"10", "ff", nullptr, nullptr},
                // clang-format on
            };
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            for (const auto& [length, byte, message, focus] : inputs) {
                ui.shown.clear();
                replaceTyped(child<QLineEdit>(dialog, "txtLength"), length);
                replaceTyped(child<QLineEdit>(dialog, "txtByteValue"), byte);
                QTest::mouseClick(&child<QPushButton>(dialog, "cmdCreate"), Qt::LeftButton);
                QCOMPARE(ui.texts(),
                         message ? std::vector<std::string>{message} : std::vector<std::string>{});
                QCOMPARE(dialog.isVisible(), message != nullptr);
                if (focus)
                    QCOMPARE(QApplication::focusWidget(), &child<QLineEdit>(dialog, focus));
            }
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.input()->length, std::uint64_t(10));
            QCOMPARE(int(dialog.input()->byte), 255);
        }
    }

    void dataSetFailedCreationKeepsTheDialog() {
        RecordingInteraction ui;
        int calls = 0;
        DataSet::Input created;
        frmCreateTestDataSet dialog(target(true), ui, nullptr, [&](const DataSet::Input& input) {
            if (++calls == 1)
                throw ZepError(19, "constraint failed");
            created = input;
        });
        dialog.show();
        replaceTyped(child<QLineEdit>(dialog, "txtByteValue"), "7");
        dialog.create();
        QCOMPARE(ui.texts(), std::vector<std::string>{"Error: 19\r\nconstraint failed"});
        QVERIFY(dialog.isVisible());
        dialog.create();
        QCOMPARE(calls, 2);
        QCOMPARE(ui.shown.back().text, std::string("Done!"));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(created.length, std::uint64_t(2048));
        QCOMPARE(int(created.byte), 7);
    }

    void chooserPrefilled() {
        const struct {
            const char* given;
            QStringList fields; // the file, or host, port, database, user, password, schema
        } cases[] = {
            // clang-format off
            {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/old.zdb", {"/data/old.zdb"}},
            {"Provider=PostgreSQL;Host=db.example;Port=5433;Database=zep;User ID=ann;Password=s3cret;Search Path=team", {"db.example", "5433", "zep", "ann", "s3cret", "team"}},
            {"Provider=\"unclosed", {""}},
            // clang-format on
        };
        for (const auto& c : cases) {
            DatabaseChooser chooser(c.given);
            QCOMPARE(chooser.windowTitle(), QString("Open Database"));
            QStringList shown{child<QLineEdit>(chooser, "txtFile").text()};
            if (child<QRadioButton>(chooser, "optServer").isChecked()) {
                shown =
                    QStringList{"txtHost", "txtPort", "txtDatabase", "txtUser", "txtPassword", "txtSchema"};
                for (QString& box : shown)
                    box = chooser.findChild<QWidget*>(box)
                              ->property(box == "txtPort" ? "value" : "text")
                              .toString();
                QCOMPARE(child<QLineEdit>(chooser, "txtPassword").echoMode(), QLineEdit::Password);
            }
            QCOMPARE(shown, c.fields);
        }
    }

    void chooserResult_data() {
        QTest::addColumn<QStringList>("typed"); // the file, or host, database, user, password, schema
        QTest::addColumn<int>("port");
        QTest::addColumn<std::string>("expected"); // empty: OK is disabled
        // clang-format off
        QTest::newRow("file with blanks around") << QStringList{"  /tmp/a b.db "} << 0 << ConnectionString::forFile("/tmp/a b.db");
        QTest::newRow("no file") << QStringList{" "} << 0 << std::string();
        QTest::newRow("server") << QStringList{" 10.0.0.5", "flash ", "bob", " p;w ", "team"} << 6543 << ConnectionString::forServer("10.0.0.5", 6543, "flash", "bob", " p;w ", "team");
        QTest::newRow("server without database") << QStringList{"pg", "", "ann", "", ""} << 5432 << std::string();
        QTest::newRow("server without host") << QStringList{"", "zep", "ann", "", ""} << 5432 << std::string();
        // clang-format on
    }
    void chooserResult() {
        QFETCH(QStringList, typed);
        QFETCH(int, port);
        QFETCH(std::string, expected);
        DatabaseChooser chooser;
        if (typed.size() == 1) {
            child<QRadioButton>(chooser, "optFile").setChecked(true);
            replaceTyped(child<QLineEdit>(chooser, "txtFile"), typed[0]);
        } else {
            child<QRadioButton>(chooser, "optServer").setChecked(true);
            const char* boxes[] = {"txtHost", "txtDatabase", "txtUser", "txtPassword", "txtSchema"};
            for (int i = 0; i < 5; ++i)
                replaceTyped(child<QLineEdit>(chooser, boxes[i]), typed[i]);
            child<QSpinBox>(chooser, "txtPort").setValue(port);
        }
        QCOMPARE(chooser.connectionString(), expected);
        QCOMPARE(child<QPushButton>(chooser, "OKButton").isEnabled(), !expected.empty());
        QCOMPARE(child<QPushButton>(chooser, "cmdTest").isEnabled(), !expected.empty());
        if (expected.empty())
            return;
        whenModal([](QDialog& d) { QTest::mouseClick(&child<QPushButton>(d, "OKButton"), Qt::LeftButton); });
        QCOMPARE(chooser.exec(), int(QDialog::Accepted));
    }

    void chooserTestsLocalFilesWithoutWriting() {
        QTemporaryDir folder;
        for (const auto& [name, version] :
             {std::pair{"made.zdb", SchemaVersion::Current}, std::pair{"legacy.zdb", SchemaVersion::Legacy}})
            Connection::create(ConnectionString::forFile(folder.filePath(name).toStdString()), version,
                               std::string(ZEP_SHARE_DIR) + "/schema");
        QFile notes(folder.filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("no SQLite file\n") > 0);
        notes.close();
        const auto before = snapshot(folder.path());
        for (const char* file : {"made.zdb", "legacy.zdb", "notes.txt"}) {
            const bool zep = QString(file).endsWith(".zdb");
            DatabaseChooser chooser(folder.filePath(file).toStdString());
            QCOMPARE(chooser.testConnection(), zep);
            // Testing writes nothing: no upgrade of an older schema, no journal, no new file.
            QVERIFY2(snapshot(folder.path()) == before, file);
            // a failure tells the engine's words after the message's own
            const QString shown = zep ? "Connection succeeded." : "Connection failed: ";
            QVERIFY2(chooser.testResult().startsWith(shown) &&
                         (zep || chooser.testResult().size() > shown.size()),
                     qPrintable(chooser.testResult()));
            // a new input makes the outcome stale
            replaceTyped(child<QLineEdit>(chooser, "txtFile"), folder.filePath("other.zdb"));
            QCOMPARE(chooser.testResult(), QString());
        }
    }

    void chooserTestsTheServer() {
        ZEP_SKIP_WITHOUT_SERVER();
        const std::string server = qEnvironmentVariable("ZEP_TEST_PG").toStdString();
        const QString password = "Wr0ngPassw0rd-for-test";
        for (const bool wrongPassword : {false, true}) {
            DatabaseChooser chooser(server);
            QCOMPARE(ConnectionString::parse(chooser.connectionString()).dataSource(),
                     ConnectionString::parse(server).dataSource());
            if (wrongPassword) {
                replaceTyped(child<QLineEdit>(chooser, "txtPassword"), password);
                // a server that trusts every local user takes any password: the user name is made wrong too
                replaceTyped(child<QLineEdit>(chooser, "txtUser"), "zep_no_such_user");
            }
            QCOMPARE(chooser.testConnection(), !wrongPassword);
            QVERIFY2(chooser.testResult().startsWith(wrongPassword ? "Connection failed: "
                                                                   : "Connection succeeded"),
                     qPrintable(chooser.testResult()));
            QVERIFY(!chooser.testResult().contains(password));
        }
    }

    void textViewerSelectsAllOnCtrlAOnly() {
        // clang-format off
        const std::pair<Qt::KeyboardModifiers, bool> cases[] = {
            {Qt::ControlModifier, true},
            {Qt::ControlModifier | Qt::ShiftModifier, false},
            {Qt::NoModifier, false},
        };
        // clang-format on
        frmText viewer;
        viewer.setText("Line 1\nLine 2\tvalue\nLast line");
        viewer.show();
        QVERIFY(QTest::qWaitForWindowActive(&viewer));
        QPlainTextEdit& box = viewer.textBox();
        for (const auto& [modifiers, selectsAll] : cases) {
            QTextCursor cursor = box.textCursor();
            cursor.setPosition(2);
            cursor.setPosition(4, QTextCursor::KeepAnchor);
            box.setTextCursor(cursor);
            QTest::keyClick(&box, Qt::Key_A, modifiers);
            QCOMPARE(box.textCursor().selectionStart(), selectsAll ? 0 : 2);
            QCOMPARE(box.textCursor().selectionEnd(), selectsAll ? box.document()->characterCount() - 1 : 4);
        }
        QCOMPARE(viewer.text(), QString("Line 1\nLine 2\tvalue\nLast line"));
        viewer.resize(900, 700);
        QTRY_COMPARE(viewer.textBox().geometry(), viewer.rect());
    }

    void layout_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("dialog");
        for (const char* language : {"en", "fr"})
            for (const char* dialog :
                 {"frmPropEcu", "frmPropEcu-Mapping", "frmPropAppli", "frmCreateTestDataSet",
                  "DatabaseChooser-file", "DatabaseChooser-server", "frmText", "frmHexView", "frmCompare"})
                QTest::newRow(qPrintable(QString("%1 %2").arg(dialog, language)))
                    << QString(language) << QString(dialog);
    }
    void layout() {
        QFETCH(QString, language);
        QFETCH(QString, dialog);
        loadDocuments(ZEP_SHARE_DIR, language.toStdString());
        QCOMPARE(QString::fromStdString(TextCatalog::instance().language()), language);
        ZEPEcu ecu = sampleEcu();
        EcuApplication app;
        app.Ecu() = sampleEcu();
        app.value().add(0x0000, std::vector<std::uint8_t>(0x6000, 0x11));
        app.value().add(0x20000, std::vector<std::uint8_t>(0x100, 0x22));
        QString comment = "Release candidate";
        RecordingInteraction ui;
        std::unique_ptr<QDialog> window;
        if (dialog.startsWith("frmPropEcu")) {
            window = std::make_unique<frmPropEcu>(ecu);
            if (dialog.endsWith("Mapping"))
                child<QTabWidget>(*window, "tsMapping").setCurrentIndex(2);
        } else if (dialog == "frmPropAppli") {
            window = std::make_unique<frmPropAppli>("APP_SAMPLE", comment, app, ui);
        } else if (dialog == "frmCreateTestDataSet") {
            window = std::make_unique<frmCreateTestDataSet>(target(false), ui);
        } else if (dialog == "DatabaseChooser-file") {
            window = std::make_unique<DatabaseChooser>("/home/user/flash/central copy.zdb");
        } else if (dialog == "DatabaseChooser-server") {
            window = std::make_unique<DatabaseChooser>(
                "Provider=PostgreSQL;Host=db.example;Database=zep;User ID=ann;Password=secret");
        } else if (dialog == "frmHexView") {
            window = std::make_unique<frmHexView>("APP_SAMPLE", app.value());
        } else if (dialog == "frmCompare") {
            auto other = std::make_shared<EcuApplication>(app);
            other->value().add(0x0100, std::vector<std::uint8_t>{0x12, 0x13, 0x14});
            other->value().add(0x20080, std::vector<std::uint8_t>(0x20, 0x23));
            CompareResult result =
                Compare::CompareImages(app, "APP_SAMPLE", *other, "APP_OTHER",
                                       zep::tr("frmDatabase/Messages/compare/soft/text", "Soft compare"));
            result.first = std::make_shared<EcuApplication>(app);
            result.second = other;
            result.firstName = "APP_SAMPLE";
            result.secondName = "APP_OTHER";
            window = std::make_unique<frmCompare>(result, Compare::Details(app, *other), ui);
        } else {
            auto text = std::make_unique<frmText>();
            text->setWindowTitle("Report");
            text->setText("ECU_SAMPLE\n  Supplier\tZEP\n  Mappings\t3\n");
            window = std::move(text);
        }
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        checkControls(*window);
        if (dialog == "frmPropAppli") {
            // the smallest size still shows every control whole
            window->resize(1, 1);
            QCOMPARE(window->size(), QSize(frmPropAppli::MinimumWidth, frmPropAppli::MinimumHeight));
            QTest::qWait(1);
            checkControls(*window);
        }
        // ZEP_DIALOGS_GRAB=FOLDER keeps pictures of the dialogs to look at (scripts/screenshots)
        const QString folder = qEnvironmentVariable("ZEP_DIALOGS_GRAB");
        if (!folder.isEmpty())
            QVERIFY(window->grab().save(
                QDir(folder).filePath(QString("dialogs-%1-%2.png").arg(dialog, language))));
        loadDocuments(ZEP_SHARE_DIR, "en");
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
