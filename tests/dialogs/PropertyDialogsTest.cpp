#include "DialogTestSupport.h"

#include "dialogs/frmPropAppli.h"
#include "dialogs/frmPropEcu.h"
#include "flash/EcuApplication.h"
#include "support/RecordingInteraction.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace zep;
using namespace zep::test;

Q_DECLARE_METATYPE(zep::Answer)

// The rules of the property dialogs have their tables without widgets; these tests check that the
// dialogs pass the user's changes to them and show what they decide.

namespace {

const std::string ApprovalError = "Approval field must be 5 bytes in hexadecimal (10 characters).";

/** the user replaces the whole text of the box, as by pasting */
void replaceTyped(QLineEdit& box, const QString& text) {
    box.selectAll();
    box.insert(text);
}

void showTab(QWidget& dialog, const QString& key) {
    auto& tabs = child<QTabWidget>(dialog, "tsMapping");
    for (int i = 0; i < tabs.count(); ++i)
        if (tabs.widget(i)->objectName() == key)
            tabs.setCurrentIndex(i);
    QVERIFY(tabs.currentWidget()->isAncestorOf(&child<QTableWidget>(dialog, "gridMapping")));
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

} // namespace

class PropertyDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void ecuBoxesFollowTheRules();
    void ecuClosing_data();
    void ecuClosing();
    void ecuMapTabs_data();
    void ecuMapTabs();
    void appliShowsTheImage();
    void appliApprovalCheckedWhenLeavingTheBox();
    void appliClosing_data();
    void appliClosing();
};

void PropertyDialogsTest::ecuBoxesFollowTheRules() {
    ZEPEcu ecu;
    ecu.IdentificationType = 32768;
    ecu.SupplierHex = "5A4550";
    ecu.InterByteDelay = 300;
    ecu.FillPattern = MemBlock::fromHex("FF");
    frmPropEcu dialog(ecu);
    QCOMPARE(child<QLineEdit>(dialog, "txtInterByteDelay").text(), QString("255"));
    auto& types = child<QComboBox>(dialog, "cbIdentificationType");
    QCOMPARE(types.currentText(), QString("VALDORE"));
    QVERIFY(!types.isEnabled());
    QCOMPARE(child<QLineEdit>(dialog, "txtSupplierCode").text(), QString("ZEP"));
    QVERIFY(child<QLineEdit>(dialog, "txtSupplierCode").isReadOnly());

    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto& granularity = child<QLineEdit>(dialog, "txtWriteGranularity");
    auto& pattern = child<QLineEdit>(dialog, "txtFillPattern");
    replaceTyped(granularity, "4");
    QCOMPARE(pattern.text(), QString("FFFFFFFF"));
    pattern.setFocus();
    pattern.clear();
    QTest::keyClicks(&pattern, "abcxz"); // only hexadecimal digits can be typed
    QCOMPARE(pattern.text(), QString("abc"));
    QCOMPARE(granularity.text(), QString("1"));
    child<QPlainTextEdit>(dialog, "txtComment").setFocus();
    QTRY_COMPARE(pattern.text(), QString("ab"));
}

void PropertyDialogsTest::ecuClosing_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("changed");
    QTest::newRow("OK stores the edits") << "OKButton" << true;
    QTest::newRow("Cancel discards") << "CancelButton" << false;
    QTest::newRow("close box discards after a click on the check box") << "close" << false;
    QTest::newRow("Escape discards") << "escape" << false;
}

void PropertyDialogsTest::ecuClosing() {
    QFETCH(QString, how);
    QFETCH(bool, changed);

    ZEPEcu ecu;
    ecu.Commentaire = "old";
    ecu.FillPattern = MemBlock::fromHex("FF");
    ecu.UploadRL = ZEPEcu::UploadWithCrc;
    frmPropEcu dialog(ecu);
    bool clickChanges = false;
    whenShown([&] {
        replaceTyped(child<QLineEdit>(dialog, "txtReplyToRequestDelay"), "30");
        child<QPlainTextEdit>(dialog, "txtComment").setPlainText("new");
        replaceTyped(child<QLineEdit>(dialog, "txtFillPattern"), "00AA");
        auto& upload = child<QCheckBox>(dialog, "chkUploadwCRC");
        QTest::mouseClick(&upload, Qt::LeftButton, {}, QPoint(4, upload.height() / 2)); // on the box
        clickChanges = dialog.changed();
        closeBy(dialog, how);
    });
    QCOMPARE(dialog.run(), changed);
    QVERIFY(clickChanges);
    QCOMPARE(ecu.ReplyToRequestDelay, changed ? 30 : 0);
    QCOMPARE(ecu.Commentaire, std::string(changed ? "new" : "old"));
    QCOMPARE(ecu.FillPattern.toHex(), std::string(changed ? "00AA" : "FF"));
    QCOMPARE(int(ecu.UploadRL), int(changed ? ZEPEcu::UploadWithoutCrc : ZEPEcu::UploadWithCrc));
}

void PropertyDialogsTest::ecuMapTabs_data() {
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("colours");
    const QString green = "#c0ffc0", yellow = "#ffffc0", red = "#ffc0c0", blue = "#c0c0ff";
    QTest::newRow("Calibration") << "Calibration" << QStringList{"2000|21FF|200|", "2300|27FF|500|1.3"}
                                 << QStringList{green, green};
    QTest::newRow("Global") << "Global" << QStringList{"0|FFF|1000|4", "2000|21FF|200|", "2300|27FF|500|1.3"}
                            << QStringList{yellow, yellow, yellow};
    QTest::newRow("Mapping") << "Mapping"
                             << QStringList{"0|FFF|1000|4|global only|", "1000|1FFF|1000|4|never|",
                                            "2000|21FF|200||tuning|", "2200|22FF|100||tuning|yes",
                                            "2300|27FF|500|1.3|tuning|"}
                             << QStringList{red, blue, green, green, green};
}

void PropertyDialogsTest::ecuMapTabs() {
    QFETCH(QString, tab);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, colours);

    ZEPEcu ecu;
    ecu.Nom = "ECU_MAPPED";
    ecu.addMapping(0x0000, 0x1000, false);
    ecu.addMapping(0x2000, 0x800, true);
    ecu.addExclusion(0x2200, 0x100, true);
    frmPropEcu dialog(ecu);
    QCOMPARE(dialog.windowTitle(), QString("ECU_MAPPED"));
    showTab(dialog, tab);
    auto& grid = child<QTableWidget>(dialog, "gridMapping");
    QStringList headers{"Start", "End", "Length", "Size (KB)"};
    if (tab == "Mapping")
        headers += QStringList{"Erasing", "Excluded"};
    QCOMPARE(headerTexts(grid), headers);
    QCOMPARE(gridRows(grid), rows);
    for (int row = 0; row < grid.rowCount(); ++row)
        for (int column = 0; column < grid.columnCount(); ++column) {
            QCOMPARE(grid.item(row, column)->background().color().name(), colours[row]);
            QCOMPARE(bool(grid.item(row, column)->textAlignment() & Qt::AlignRight), column < 4);
        }
}

/** an image over an ECU with 1000-1FFF outside and 8000-85FF inside its tuning area */
static EcuApplication image(bool tuning) {
    EcuApplication app;
    app.Ecu().addMapping(0x1000, 0x1000, false);
    app.Ecu().addMapping(0x8000, 0x600, true);
    app.setEstCalibration(tuning);
    if (tuning)
        app.value().add(0x8000, std::vector<std::uint8_t>(0x600, 0x5A));
    app.Homologation = "0123456789";
    return app;
}

void PropertyDialogsTest::appliShowsTheImage() {
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
    showTab(dialog, "Missing");
    QCOMPARE(gridRows(grid), QStringList{"|||"});
    QCOMPARE(child<QLineEdit>(dialog, "Total").text(), QString("0 bytes - 0 KBytes"));
}

void PropertyDialogsTest::appliApprovalCheckedWhenLeavingTheBox() {
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

void PropertyDialogsTest::appliClosing_data() {
    QTest::addColumn<QString>("edit"); // "", "comment", "approval", "bad approval"
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("refusals"); // approval messages
    QTest::addColumn<bool>("changed");

    const QList<Answer> none, yes{Answer::Yes}, no{Answer::No}, cancel{Answer::Cancel};
    // clang-format off
    QTest::newRow("OK without edits") << "" << "OKButton" << none << 0 << 0 << false;
    QTest::newRow("OK with a comment") << "comment" << "OKButton" << none << 0 << 0 << true;
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

void PropertyDialogsTest::appliClosing() {
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
    whenShown([&] {
        auto& approval = child<QLineEdit>(dialog, "txtApprovalNumber");
        if (edit == "comment") {
            auto& box = child<QPlainTextEdit>(dialog, "txtComment");
            box.moveCursor(QTextCursor::End);
            QTest::keyClicks(&box, " after");
        } else if (edit == "approval")
            replaceTyped(approval, "00000abcde");
        else if (edit == "bad approval")
            replaceTyped(approval, "12");
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

int runPropertyDialogsTest(int argc, char** argv) {
    PropertyDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PropertyDialogsTest.moc"
