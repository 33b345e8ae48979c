#include "DialogTestSupport.h"

#include "dialogs/frmPropAppli.h"
#include "flash/EcuApplication.h"
#include "support/RecordingInteraction.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <vector>

using namespace zep;
using namespace zep::test;

Q_DECLARE_METATYPE(zep::Answer)

namespace {

const std::string ApprovalError = "Approval field must be 5 bytes in hexadecimal (10 characters).";
const std::string QuitQuestion = "Save modifications before closing window ?";

struct Block {
    std::uint32_t address;
    std::size_t count;
};

/** an image over an ECU with 1000-1FFF outside and 8000-85FF inside its tuning area */
EcuApplication image(bool tuning, const std::vector<Block>& blocks) {
    EcuApplication app;
    app.Ecu().addMapping(0x1000, 0x1000, false);
    app.Ecu().addMapping(0x8000, 0x600, true);
    app.setEstCalibration(tuning);
    for (const Block& b : blocks)
        app.value().add(b.address, std::vector<std::uint8_t>(b.count, 0x5A));
    app.Homologation = "0123456789";
    return app;
}

void replaceTyped(QLineEdit& box, const QString& text) {
    box.selectAll();
    box.insert(text);
}

void showTab(QWidget& dialog, const QString& key) {
    auto& tabs = child<QTabWidget>(dialog, "tsMapping");
    for (int i = 0; i < tabs.count(); ++i)
        if (tabs.widget(i)->objectName() == key)
            tabs.setCurrentIndex(i);
}

} // namespace

class AppliDialogTest : public QObject {
    Q_OBJECT
private slots:
    void tabs_data();
    void tabs();
    void approvalCheck_data();
    void approvalCheck();
    void approvalCheckedWhenLeavingTheBox();
    void closing_data();
    void closing();
};

void AppliDialogTest::tabs_data() {
    QTest::addColumn<bool>("tuning");
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("total");

    // a global image over half the application range and 512 bytes outside every range
    QTest::newRow("global image") << false << "Mapping" << QStringList{"1000|17FF|800|2", "9000|91FF|200|"}
                                  << "2560 bytes - 2 KBytes";
    QTest::newRow("global missing") << false << "Missing"
                                    << QStringList{"1800|1FFF|800|2", "8000|85FF|600|1.5"}
                                    << "3584 bytes - 4 KBytes";
    QTest::newRow("global exceed") << false << "Exceed" << QStringList{"9000|91FF|200|"}
                                   << "512 bytes - 0 KBytes";
    // a tuning covering exactly its write map
    QTest::newRow("exact tuning") << true << "Mapping" << QStringList{"8000|85FF|600|1.5"}
                                  << "1536 bytes - 2 KBytes";
    QTest::newRow("exact tuning missing") << true << "Missing" << QStringList{"|||"} << "0 bytes - 0 KBytes";
    QTest::newRow("exact tuning exceed") << true << "Exceed" << QStringList{"|||"} << "0 bytes - 0 KBytes";
}

void AppliDialogTest::tabs() {
    QFETCH(bool, tuning);
    QFETCH(QString, tab);
    QFETCH(QStringList, rows);
    QFETCH(QString, total);

    EcuApplication app =
        tuning ? image(true, {{0x8000, 0x600}}) : image(false, {{0x1000, 0x800}, {0x9000, 0x200}});
    RecordingInteraction ui;
    QString comment = "comment";
    frmPropAppli dialog("APP_1", comment, app, ui);
    QCOMPARE(dialog.windowTitle(), QString("APP_1"));
    QCOMPARE(child<QLineEdit>(dialog, "txtApprovalNumber").text(), QString("0123456789"));
    QCOMPARE(child<QPlainTextEdit>(dialog, "txtComment").toPlainText(), QString("comment"));
    showTab(dialog, tab);
    auto& grid = child<QTableWidget>(dialog, "gridMapping");
    QCOMPARE(headerTexts(grid), (QStringList{"Start", "End", "Length", "Size (KB)"}));
    QCOMPARE(gridRows(grid), rows);
    QCOMPARE(child<QLineEdit>(dialog, "Total").text(), total);
    QCOMPARE(grid.toolTip(), QString("Description of ECU addresses ranges."));
}

void AppliDialogTest::approvalCheck_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("five characters") << "ABCDE" << false;
    QTest::newRow("nine characters") << "000ABCDE0" << false;
    QTest::newRow("ten digits") << "00000ABCDE" << true;
    QTest::newRow("ten digits lower case") << "00000abcde" << true;
    QTest::newRow("six whole bytes") << "00000ABCDEF0" << true;
    QTest::newRow("eleven characters") << "00000ABCDEF" << false;
    QTest::newRow("not hexadecimal") << "00000ABCDG" << false;
    QTest::newRow("blank inside") << "00000 BCDE" << false;
    QTest::newRow("empty") << "" << false;
}

void AppliDialogTest::approvalCheck() {
    QFETCH(QString, typed);
    QFETCH(bool, accepted);

    EcuApplication app = image(false, {});
    RecordingInteraction ui;
    QString comment;
    frmPropAppli dialog("APP", comment, app, ui);
    replaceTyped(child<QLineEdit>(dialog, "txtApprovalNumber"), typed);
    QCOMPARE(dialog.checkApproval(), accepted);
    if (accepted) {
        QVERIFY(ui.shown.empty());
    } else {
        QCOMPARE(ui.texts(), std::vector<std::string>{ApprovalError});
        QCOMPARE(dialog.focusWidget(), &child<QLineEdit>(dialog, "txtApprovalNumber"));
    }
}

void AppliDialogTest::approvalCheckedWhenLeavingTheBox() {
    EcuApplication app = image(false, {});
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

void AppliDialogTest::closing_data() {
    QTest::addColumn<QString>("edit"); // "", "comment", "approval", "bad approval"
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("refusals"); // approval messages
    QTest::addColumn<bool>("changed");

    const QList<Answer> none;
    QTest::newRow("OK without edits") << ""
                                      << "OKButton" << none << 0 << 0 << false;
    QTest::newRow("OK with a comment") << "comment"
                                       << "OKButton" << none << 0 << 0 << true;
    QTest::newRow("OK with an approval") << "approval"
                                         << "OKButton" << none << 0 << 0 << true;
    QTest::newRow("OK refuses a bad approval") << "bad approval"
                                               << "OKButton" << none << 0 << 1 << false;
    QTest::newRow("Cancel without edits") << ""
                                          << "CancelButton" << none << 0 << 0 << false;
    QTest::newRow("Cancel, Yes") << "comment"
                                 << "CancelButton" << QList<Answer>{Answer::Yes} << 1 << 0 << true;
    QTest::newRow("Cancel, No") << "approval"
                                << "CancelButton" << QList<Answer>{Answer::No} << 1 << 0 << false;
    QTest::newRow("Cancel, Cancel stays open")
        << "comment"
        << "CancelButton" << QList<Answer>{Answer::Cancel} << 1 << 0 << false;
    QTest::newRow("Cancel, Yes with a bad approval")
        << "bad approval"
        << "CancelButton" << QList<Answer>{Answer::Yes} << 1 << 1 << false;
    QTest::newRow("Escape asks as Cancel") << "comment"
                                           << "escape" << QList<Answer>{Answer::Yes} << 1 << 0 << true;
    QTest::newRow("close box never saves") << "comment"
                                           << "close" << none << 0 << 0 << false;
}

void AppliDialogTest::closing() {
    QFETCH(QString, edit);
    QFETCH(QString, button);
    QFETCH(QList<Answer>, answers);
    QFETCH(int, questions);
    QFETCH(int, refusals);
    QFETCH(bool, changed);

    EcuApplication app = image(false, {});
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
        if (button == "close")
            dialog.close();
        else if (button == "escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            QTest::mouseClick(&child<QPushButton>(dialog, button.toLatin1().constData()), Qt::LeftButton);
        stayedOpen = dialog.isVisible();
        if (stayedOpen)
            dialog.close();
    });
    QCOMPARE(dialog.run(), changed);

    int asked = 0, refused = 0;
    for (const auto& shown : ui.shown) {
        asked += shown.kind == "ask" && shown.text == QuitQuestion;
        refused += shown.text == ApprovalError;
    }
    QCOMPARE(asked, questions);
    QCOMPARE(refused, refusals);
    const bool keptOpen = refusals > 0 || answers.value(0, Answer::Ok) == Answer::Cancel;
    QCOMPARE(stayedOpen, keptOpen);
    const bool commentEdited = changed && edit == "comment";
    const bool approvalEdited = changed && edit == "approval";
    QCOMPARE(comment, commentEdited ? QString("before after") : QString("before"));
    QCOMPARE(app.Homologation, approvalEdited ? std::string("00000abcde") : std::string("0123456789"));
}

int runAppliDialogTest(int argc, char** argv) {
    AppliDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AppliDialogTest.moc"
