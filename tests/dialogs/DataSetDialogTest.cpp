#include "DialogTestSupport.h"

#include "dialogs/frmCreateTestDataSet.h"
#include "memory/ZepError.h"
#include "support/RecordingInteraction.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace zep;
using namespace zep::test;

namespace {

/** an ECU with 4096 + 2048 bytes to write in a global download, 2048 of them in its tuning area */
DataSet::Target target(bool tuning) {
    DataSet::Target t;
    t.ecuId = 7;
    t.appId = 9;
    t.tuning = tuning;
    t.ecu.Nom = "ECU_DS";
    t.ecu.FillPattern = MemBlock::fromHex("A5FF");
    t.ecu.addMapping(0x0000, 0x1000, false);
    t.ecu.addMapping(0x4000, 0x1000, true);
    t.ecu.addExclusion(0x4800, 0x800, true);
    return t;
}

void replaceTyped(QLineEdit& box, const QString& text) {
    box.selectAll();
    box.insert(text);
}

} // namespace

class DataSetDialogTest : public QObject {
    Q_OBJECT
private slots:
    void shownValues_data();
    void shownValues();
    void create_data();
    void create();
    void failedCreationKeepsTheDialog();
};

void DataSetDialogTest::shownValues_data() {
    QTest::addColumn<bool>("tuning");
    QTest::addColumn<QString>("maxSize");
    QTest::addColumn<QString>("kind");

    QTest::newRow("global") << false << "6144"
                            << "(global)";
    QTest::newRow("tuning") << true << "2048"
                            << "(tuning)";
}

void DataSetDialogTest::shownValues() {
    QFETCH(bool, tuning);
    QFETCH(QString, maxSize);
    QFETCH(QString, kind);

    RecordingInteraction ui;
    frmCreateTestDataSet dialog(target(tuning), ui);
    QCOMPARE(dialog.windowTitle(), QString("Data set generator"));
    QCOMPARE(child<QLineEdit>(dialog, "txtEcuName").text(), QString("ECU_DS"));
    QCOMPARE(child<QLineEdit>(dialog, "txtEraseByteValue").text(), QString("A5"));
    QCOMPARE(child<QLineEdit>(dialog, "txtMaxSize").text(), maxSize);
    QCOMPARE(child<QLineEdit>(dialog, "txtLength").text(), maxSize);
    QCOMPARE(child<QLabel>(dialog, "lblTuningOrGlobal").text(), kind);
    QCOMPARE(dialog.target().appId, 9);
}

void DataSetDialogTest::create_data() {
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("byte");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("focus");
    QTest::addColumn<qulonglong>("acceptedLength");
    QTest::addColumn<int>("acceptedByte");

    QTest::newRow("length not a number") << "12a"
                                         << "5"
                                         << "Length should be numeric"
                                         << "txtLength" << 0ULL << 0;
    QTest::newRow("length empty") << ""
                                  << "5"
                                  << "Length should be numeric"
                                  << "txtLength" << 0ULL << 0;
    QTest::newRow("length above max") << "6145"
                                      << "5"
                                      << "Length should be less or equal to max size (6144)."
                                      << "txtLength" << 0ULL << 0;
    QTest::newRow("byte not a number") << "100"
                                       << "G1"
                                       << "Byte value should be numeric."
                                       << "txtByteValue" << 0ULL << 0;
    QTest::newRow("byte empty") << "100"
                                << ""
                                << "Byte value should be numeric."
                                << "txtByteValue" << 0ULL << 0;
    QTest::newRow("byte above FF") << "100"
                                   << "1FF"
                                   << "Error: 6\r\nOverflow"
                                   << "txtByteValue" << 0ULL << 0;
    QTest::newRow("max size") << "6144"
                              << "5"
                              << ""
                              << "" << 6144ULL << 5;
    QTest::newRow("smaller, lower case") << "10"
                                         << "ff"
                                         << ""
                                         << "" << 10ULL << 255;
}

void DataSetDialogTest::create() {
    QFETCH(QString, length);
    QFETCH(QString, byte);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(qulonglong, acceptedLength);
    QFETCH(int, acceptedByte);

    RecordingInteraction ui;
    frmCreateTestDataSet dialog(target(false), ui);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    replaceTyped(child<QLineEdit>(dialog, "txtLength"), length);
    replaceTyped(child<QLineEdit>(dialog, "txtByteValue"), byte);
    QTest::mouseClick(&child<QPushButton>(dialog, "cmdCreate"), Qt::LeftButton);
    if (message.isEmpty()) {
        QVERIFY(ui.shown.empty());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.input().has_value());
        QCOMPARE(qulonglong(dialog.input()->length), acceptedLength);
        QCOMPARE(int(dialog.input()->byte), acceptedByte);
    } else {
        QCOMPARE(ui.texts(), std::vector<std::string>{message.toStdString()});
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.input().has_value());
        QCOMPARE(QApplication::focusWidget(), &child<QLineEdit>(dialog, focus.toLatin1().constData()));
        QTest::mouseClick(&child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.input().has_value());
    }
}

void DataSetDialogTest::failedCreationKeepsTheDialog() {
    RecordingInteraction ui;
    int calls = 0;
    bool fail = true;
    DataSet::Input created;
    frmCreateTestDataSet dialog(target(true), ui, nullptr, [&](const DataSet::Input& input) {
        ++calls;
        if (fail)
            throw ZepError(19, "constraint failed");
        created = input;
    });
    dialog.show();
    replaceTyped(child<QLineEdit>(dialog, "txtByteValue"), "7");
    dialog.create();
    QCOMPARE(calls, 1);
    QCOMPARE(ui.texts(), std::vector<std::string>{"Error: 19\r\nconstraint failed"});
    QVERIFY(dialog.isVisible());

    fail = false;
    dialog.create();
    QCOMPARE(calls, 2);
    QCOMPARE(ui.shown.back().text, std::string("Done!"));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(created.length, std::uint64_t(2048));
    QCOMPARE(int(created.byte), 7);
}

int runDataSetDialogTest(int argc, char** argv) {
    DataSetDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DataSetDialogTest.moc"
