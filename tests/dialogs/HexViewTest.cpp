#include "support/WidgetTests.h"

#include "dialogs/frmCompare.h"
#include "dialogs/frmHexView.h"
#include "support/RecordingInteraction.h"
#include "support/TestFiles.h"
#include "text/Documents.h"
#include "views/HexView.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

using namespace zep;
using namespace zep::test;

class HexViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { loadDocuments(ZEP_SHARE_DIR, "en"); }
    void bytesGoToFindAndCopy();
    void compareStepsThroughDifferencesAndSavesTheListing();
};

void HexViewTest::bytesGoToFindAndCopy() {
    MemImage image;
    std::vector<std::uint8_t> low(0x40, 0x11);
    low[0x30] = 0xDE;
    low[0x31] = 0xAD;
    image.add(0x1000, low);
    image.add(0x8000, std::vector<std::uint8_t>{'V', 'A', 'L', 'D', 'O', 'R', 'E'});
    frmHexView dialog("APP", image);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    HexView& view = dialog.view();
    // four rows of bytes, the gap as one row, the row of the text
    QCOMPARE(view.rows().count(), std::size_t(6));
    QVERIFY(view.rows().row(4).gap);
    QCOMPARE(view.rows().row(4).gapBytes, std::uint64_t(0x8000 - 0x1040));

    auto& goTo = child<QLineEdit>(dialog, "txtGoTo");
    goTo.setText("0x8004");
    dialog.goToTyped();
    QCOMPARE(view.cursor(), std::uint64_t(0x8004));
    goTo.setText("8000000000");
    dialog.goToTyped();
    QVERIFY2(dialog.status().contains("is no address"), qPrintable(dialog.status()));
    // Up from the text's row steps over the gap into the bytes above
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Up);
    QCOMPARE(view.cursor(), std::uint64_t(0x1034));

    auto& find = child<QLineEdit>(dialog, "txtFind");
    find.setText("de ad");
    QVERIFY(dialog.findNext());
    QCOMPARE(view.selection(), std::make_pair(std::uint64_t(0x1030), std::uint64_t(0x1031)));
    dialog.copyHex();
    QCOMPARE(QApplication::clipboard()->text(), QString("DE AD"));
    find.setText("DOR");
    QVERIFY(!dialog.findNext());
    QVERIFY2(dialog.status().contains("are no hexadecimal bytes"), qPrintable(dialog.status()));
    child<QCheckBox>(dialog, "chkFindText").setChecked(true);
    QVERIFY(dialog.findNext());
    QCOMPARE(view.selection().first, std::uint64_t(0x8003));
    find.setText("missing");
    QVERIFY(!dialog.findNext());
    QVERIFY2(dialog.status().contains("is not in these bytes"), qPrintable(dialog.status()));
}

void HexViewTest::compareStepsThroughDifferencesAndSavesTheListing() {
    auto first = std::make_shared<EcuApplication>();
    auto second = std::make_shared<EcuApplication>();
    std::vector<std::uint8_t> bytes(0x100, 0x55);
    first->value().add(0x4000, bytes);
    bytes[0x10] = bytes[0x11] = 0x66; // one range of two bytes
    bytes[0xF0] = 0x77;
    second->value().add(0x4000, bytes);
    CompareResult result = Compare::CompareImages(*first, "T", *second, "S", "Soft compare");
    result.first = first;
    result.second = second;
    RecordingInteraction ui;
    frmCompare dialog(result, Compare::Details(*first, *second), ui);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.summary(),
             QString("3 differing byte(s) in 2 range(s), 256 bytes compared; erased-value rule not applied"));
    HexView& view = dialog.view();
    // the first difference is selected on opening; next and previous go from range to range
    QCOMPARE(view.selection(), std::make_pair(std::uint64_t(0x4010), std::uint64_t(0x4011)));
    QVERIFY(dialog.nextDifference());
    QCOMPARE(view.selection().first, std::uint64_t(0x40F0));
    QVERIFY(!dialog.nextDifference());
    QVERIFY(dialog.previousDifference());
    QCOMPARE(view.selection().first, std::uint64_t(0x4010));
    QVERIFY(!dialog.previousDifference());

    TempDir dir;
    dialog.askPath = [&] { return QString::fromStdString(dir.file("listing.txt")); };
    QVERIFY(dialog.saveText());
    QCOMPARE(readFile(dir.file("listing.txt")), result.listing);
    dialog.askPath = [&] { return QString::fromStdString(dir.file("no/such/folder.txt")); };
    QVERIFY(!dialog.saveText());
    QCOMPARE(ui.shown.size(), std::size_t(1));
}

QTEST_MAIN(HexViewTest)
#include "HexViewTest.moc"
