#include "DialogTestSupport.h"

#include "dialogs/MapGrid.h"
#include "dialogs/frmPropEcu.h"
#include "flash/ZEPEcu.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace zep;
using namespace zep::test;

namespace {

/**
 * 0000-0FFF application with nothing excluded, 1000-1FFF no mapping, 2000-27FF tuning with 2200-22FF
 * excluded, 2800-2FFF no mapping, 3000-33FF application with 3000-300F excluded.
 */
ZEPEcu mappedEcu() {
    ZEPEcu ecu;
    ecu.Nom = "ECU_MAPPED";
    ecu.addMapping(0x0000, 0x1000, false);
    ecu.addMapping(0x2000, 0x800, true);
    ecu.addExclusion(0x2200, 0x100, true);
    ecu.addMapping(0x3000, 0x400, false);
    ecu.addExclusion(0x3000, 0x10, false);
    return ecu;
}

/** the user replaces the whole text of the box, as by pasting */
void replaceTyped(QLineEdit& box, const QString& text) {
    box.selectAll();
    box.insert(text);
}

} // namespace

class EcuDialogTest : public QObject {
    Q_OBJECT
private slots:
    void inputRules_data();
    void inputRules();
    void patternLosesHalfByteOnLeaving();
    void closing_data();
    void closing();
    void referenceFields_data();
    void referenceFields();
    void mapTabs_data();
    void mapTabs();
    void noMappingsNoRows();
    void kilobytes_data();
    void kilobytes();
};

void EcuDialogTest::inputRules_data() {
    QTest::addColumn<QString>("pattern"); // the ECU's fill pattern
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");       // the box's text afterwards
    QTest::addColumn<QString>("granularity"); // txtWriteGranularity afterwards
    QTest::addColumn<QString>("fill");        // txtFillPattern afterwards

    QTest::newRow("delay negative") << "FF"
                                    << "txtInterByteDelay"
                                    << "-5"
                                    << "0"
                                    << "1"
                                    << "FF";
    QTest::newRow("delay above 255") << "FF"
                                     << "txtInterByteDelay"
                                     << "300"
                                     << "255"
                                     << "1"
                                     << "FF";
    QTest::newRow("delay text") << "FF"
                                << "txtReplyToRequestDelay"
                                << "abc"
                                << "0"
                                << "1"
                                << "FF";
    QTest::newRow("delay emptied") << "FF"
                                   << "txtReplyToRequestDelay"
                                   << ""
                                   << "0"
                                   << "1"
                                   << "FF";
    QTest::newRow("delay 255 kept") << "FF"
                                    << "txtReplyToRequestDelay"
                                    << "255"
                                    << "255"
                                    << "1"
                                    << "FF";
    QTest::newRow("max download text") << "FF"
                                       << "txtMaxDownload"
                                       << "abc"
                                       << "48"
                                       << "1"
                                       << "FF";
    QTest::newRow("max download number") << "FF"
                                         << "txtMaxDownload"
                                         << "4096"
                                         << "4096"
                                         << "1"
                                         << "FF";
    QTest::newRow("granularity grows") << "FF"
                                       << "txtWriteGranularity"
                                       << "4"
                                       << "4"
                                       << "4"
                                       << "FFFFFFFF";
    QTest::newRow("granularity shrinks") << "FFFFFFFF"
                                         << "txtWriteGranularity"
                                         << "1"
                                         << "1"
                                         << "1"
                                         << "FF";
    QTest::newRow("first byte repeated") << "A501"
                                         << "txtWriteGranularity"
                                         << "3"
                                         << "3"
                                         << "3"
                                         << "A501A5";
    QTest::newRow("empty pattern grows FF") << ""
                                            << "txtWriteGranularity"
                                            << "2"
                                            << "2"
                                            << "2"
                                            << "FFFF";
    QTest::newRow("granularity text") << "0102"
                                      << "txtWriteGranularity"
                                      << "x"
                                      << "1"
                                      << "1"
                                      << "01";
    QTest::newRow("granularity negative") << "0102"
                                          << "txtWriteGranularity"
                                          << "-2"
                                          << "0"
                                          << "0"
                                          << "";
    QTest::newRow("too large granularity") << "00"
                                           << "txtWriteGranularity"
                                           << "99999999"
                                           << "65535"
                                           << "65535" << QString(2 * 65535, '0');
    QTest::newRow("pattern sets granularity") << "FF"
                                              << "txtFillPattern"
                                              << "0011AA"
                                              << "0011AA"
                                              << "3"
                                              << "0011AA";
    QTest::newRow("odd pattern counts whole bytes") << "FF"
                                                    << "txtFillPattern"
                                                    << "ABC"
                                                    << "ABC"
                                                    << "1"
                                                    << "ABC";
}

void EcuDialogTest::inputRules() {
    QFETCH(QString, pattern);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, granularity);
    QFETCH(QString, fill);

    ZEPEcu ecu;
    ecu.FillPattern = MemBlock::fromHex(pattern.toStdString());
    frmPropEcu dialog(ecu);
    auto& edited = child<QLineEdit>(dialog, box.toLatin1().constData());
    replaceTyped(edited, typed);
    QCOMPARE(edited.text(), shown);
    QCOMPARE(child<QLineEdit>(dialog, "txtWriteGranularity").text(), granularity);
    QCOMPARE(child<QLineEdit>(dialog, "txtFillPattern").text(), fill);
}

void EcuDialogTest::patternLosesHalfByteOnLeaving() {
    ZEPEcu ecu;
    ecu.FillPattern = MemBlock::fromHex("FF");
    frmPropEcu dialog(ecu);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto& pattern = child<QLineEdit>(dialog, "txtFillPattern");
    pattern.setFocus();
    pattern.clear();
    QTest::keyClicks(&pattern, "abc");
    QCOMPARE(child<QLineEdit>(dialog, "txtWriteGranularity").text(), QString("1"));
    // non-digits cannot be typed at all
    QTest::keyClicks(&pattern, "xz");
    QCOMPARE(pattern.text(), QString("abc"));
    child<QPlainTextEdit>(dialog, "txtComment").setFocus();
    QTRY_COMPARE(pattern.text(), QString("ab"));
    QCOMPARE(child<QLineEdit>(dialog, "txtWriteGranularity").text(), QString("1"));
}

void EcuDialogTest::closing_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("clickUpload");
    QTest::addColumn<int>("uploadRL");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("storedUploadRL");

    QTest::newRow("OK stores the edits") << "OKButton" << false << 128 << true << 128;
    QTest::newRow("OK with the box cleared") << "OKButton" << true << 128 << true << 132;
    QTest::newRow("OK stores 128 or 132 over another code") << "OKButton" << false << 77 << true << 132;
    QTest::newRow("Cancel discards") << "CancelButton" << true << 132 << false << 132;
    QTest::newRow("close box discards after a click") << "close" << true << 128 << false << 128;
    QTest::newRow("Escape discards") << "escape" << true << 77 << false << 77;
}

void EcuDialogTest::closing() {
    QFETCH(QString, how);
    QFETCH(bool, clickUpload);
    QFETCH(int, uploadRL);
    QFETCH(bool, changed);
    QFETCH(int, storedUploadRL);

    ZEPEcu ecu;
    ecu.InterByteDelay = 5;
    ecu.ReplyToRequestDelay = 6;
    ecu.Commentaire = "old";
    ecu.FillPattern = MemBlock::fromHex("FF");
    ecu.WriteGranularity = 128;
    ecu.UploadRL = static_cast<std::uint8_t>(uploadRL);
    frmPropEcu dialog(ecu);
    bool clickedChanges = false;
    whenShown([&] {
        replaceTyped(child<QLineEdit>(dialog, "txtInterByteDelay"), "20");
        replaceTyped(child<QLineEdit>(dialog, "txtReplyToRequestDelay"), "30");
        child<QPlainTextEdit>(dialog, "txtComment").setPlainText("new");
        replaceTyped(child<QLineEdit>(dialog, "txtFillPattern"), "00AA");
        replaceTyped(child<QLineEdit>(dialog, "txtMaxDownload"), "256");
        replaceTyped(child<QLineEdit>(dialog, "txtRepeatPattern"), "55");
        if (clickUpload) {
            auto& upload = child<QCheckBox>(dialog, "chkUploadwCRC");
            QTest::mouseClick(&upload, Qt::LeftButton, {}, QPoint(4, upload.height() / 2)); // on the box
            clickedChanges = dialog.changed();
        }
        if (how == "close")
            dialog.close();
        else if (how == "escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            QTest::mouseClick(&child<QPushButton>(dialog, how.toLatin1().constData()), Qt::LeftButton);
    });
    QCOMPARE(dialog.run(), changed);
    QCOMPARE(clickedChanges, clickUpload);
    QCOMPARE(int(ecu.UploadRL), storedUploadRL);
    if (changed) {
        QCOMPARE(ecu.InterByteDelay, 20);
        QCOMPARE(ecu.ReplyToRequestDelay, 30);
        QCOMPARE(ecu.Commentaire, std::string("new"));
        QCOMPARE(ecu.FillPattern.toHex(), std::string("00AA"));
        QCOMPARE(ecu.WriteGranularity, 256);
        QCOMPARE(ecu.RepeatPattern.toHex(), std::string("55"));
    } else {
        QCOMPARE(ecu.InterByteDelay, 5);
        QCOMPARE(ecu.ReplyToRequestDelay, 6);
        QCOMPARE(ecu.Commentaire, std::string("old"));
        QCOMPARE(ecu.FillPattern.toHex(), std::string("FF"));
        QCOMPARE(ecu.WriteGranularity, 128);
        QVERIFY(ecu.RepeatPattern.empty());
    }
}

void EcuDialogTest::referenceFields_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("supplierHex");
    QTest::addColumn<QString>("typeShown");
    QTest::addColumn<QString>("supplierShown");

    QTest::newRow("hexadecimal") << 33666 << "414243"
                                 << "TOLMAK hexadecimal"
                                 << "414243";
    QTest::newRow("ANSI supplier") << 33664 << "414243"
                                   << "TOLMAK ANSI (supplier and part number)"
                                   << "A4243";
    QTest::newRow("three characters") << 32768 << "5A4550"
                                      << "VALDORE"
                                      << "ZEP";
    QTest::newRow("unknown type") << 4711 << "5A4550"
                                  << ""
                                  << "ZEP";
}

void EcuDialogTest::referenceFields() {
    QFETCH(int, type);
    QFETCH(QString, supplierHex);
    QFETCH(QString, typeShown);
    QFETCH(QString, supplierShown);

    ZEPEcu ecu;
    ecu.IdentificationType = type;
    ecu.SupplierHex = supplierHex.toStdString();
    frmPropEcu dialog(ecu);
    auto& types = child<QComboBox>(dialog, "cbIdentificationType");
    QCOMPARE(types.currentText(), typeShown);
    QVERIFY(!types.isEnabled());
    auto& supplier = child<QLineEdit>(dialog, "txtSupplierCode");
    QCOMPARE(supplier.text(), supplierShown);
    QVERIFY(supplier.isReadOnly());
    whenShown([&] { dialog.accept(); });
    QVERIFY(dialog.run());
    QCOMPARE(ecu.IdentificationType, type);
    QCOMPARE(ecu.SupplierHex, supplierHex.toStdString());
}

void EcuDialogTest::mapTabs_data() {
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("colours");

    const QStringList four{"Start", "End", "Length", "Size (KB)"};
    const QString green = "#c0ffc0", yellow = "#ffffc0", red = "#ffc0c0", blue = "#c0c0ff";
    QTest::newRow("Calibration") << "Calibration" << four
                                 << QStringList{"2000|21FF|200|", "2300|27FF|500|1.3"}
                                 << QStringList{green, green};
    QTest::newRow("Global") << "Global" << four
                            << QStringList{"0|FFF|1000|4", "2000|21FF|200|", "2300|27FF|500|1.3",
                                           "3010|33FF|3F0|"}
                            << QStringList{yellow, yellow, yellow, yellow};
    QTest::newRow("Mapping") << "Mapping" << (four + QStringList{"Erasing", "Excluded"})
                             << QStringList{"0|FFF|1000|4|global only|",     "1000|1FFF|1000|4|never|",
                                            "2000|21FF|200||tuning|",        "2200|22FF|100||tuning|yes",
                                            "2300|27FF|500|1.3|tuning|",     "2800|2FFF|800|2|never|",
                                            "3000|300F|10||global only|yes", "3010|33FF|3F0||global only|"}
                             << QStringList{red, blue, green, green, green, blue, red, red};
}

void EcuDialogTest::mapTabs() {
    QFETCH(QString, tab);
    QFETCH(QStringList, headers);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, colours);

    ZEPEcu ecu = mappedEcu();
    frmPropEcu dialog(ecu);
    QCOMPARE(dialog.windowTitle(), QString("ECU_MAPPED"));
    auto& tabs = child<QTabWidget>(dialog, "tsMapping");
    for (int i = 0; i < tabs.count(); ++i)
        if (tabs.widget(i)->objectName() == tab)
            tabs.setCurrentIndex(i);
    auto& grid = child<QTableWidget>(dialog, "gridMapping");
    QCOMPARE(tabs.currentWidget()->objectName(), tab);
    QVERIFY(tabs.currentWidget()->isAncestorOf(&grid));
    QCOMPARE(headerTexts(grid), headers);
    QCOMPARE(gridRows(grid), rows);
    for (int row = 0; row < grid.rowCount(); ++row)
        for (int column = 0; column < grid.columnCount(); ++column) {
            QCOMPARE(grid.item(row, column)->background().color().name(), colours[row]);
            QCOMPARE(bool(grid.item(row, column)->textAlignment() & Qt::AlignRight), column < 4);
        }
}

void EcuDialogTest::noMappingsNoRows() {
    ZEPEcu ecu;
    frmPropEcu dialog(ecu);
    auto& tabs = child<QTabWidget>(dialog, "tsMapping");
    for (int i = 0; i < tabs.count(); ++i) {
        tabs.setCurrentIndex(i);
        QCOMPARE(child<QTableWidget>(dialog, "gridMapping").rowCount(), 0);
    }
}

void EcuDialogTest::kilobytes_data() {
    QTest::addColumn<qulonglong>("bytes");
    QTest::addColumn<QString>("shortForm");
    QTest::addColumn<qulonglong>("rounded");

    QTest::newRow("0") << 0ULL << "" << 0ULL;
    QTest::newRow("512 half to even 0") << 512ULL << "" << 0ULL;
    QTest::newRow("1023") << 1023ULL << "" << 1ULL;
    QTest::newRow("1024") << 1024ULL << "1" << 1ULL;
    QTest::newRow("1280 one decimal") << 1280ULL << "1.3" << 1ULL;
    QTest::newRow("1536 half to even 2") << 1536ULL << "1.5" << 2ULL;
    QTest::newRow("2047 nearly whole") << 2047ULL << "2.0" << 2ULL;
    QTest::newRow("2048") << 2048ULL << "2" << 2ULL;
    QTest::newRow("2560 half to even 2") << 2560ULL << "2.5" << 2ULL;
    QTest::newRow("4 GB") << 0x100000000ULL << "4194304" << 4194304ULL;
}

void EcuDialogTest::kilobytes() {
    QFETCH(qulonglong, bytes);
    QFETCH(QString, shortForm);
    QFETCH(qulonglong, rounded);
    QCOMPARE(shortKilobytes(bytes), shortForm);
    QCOMPARE(qulonglong(roundedKilobytes(bytes)), rounded);
}

int runEcuDialogTest(int argc, char** argv) {
    EcuDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "EcuDialogTest.moc"
