#include "DialogTestSupport.h"

#include "dialogs/frmText.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

using namespace zep;
using namespace zep::test;

class TextViewerTest : public QObject {
    Q_OBJECT
private slots:
    void selectAll_data();
    void selectAll();
    void boxFillsTheWindow();
};

void TextViewerTest::selectAll_data() {
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("selectsAll");

    QTest::newRow("Ctrl+A") << int(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+Shift+A") << int(Qt::ControlModifier | Qt::ShiftModifier) << false;
    QTest::newRow("Ctrl+Alt+A") << int(Qt::ControlModifier | Qt::AltModifier) << false;
    QTest::newRow("Shift+A") << int(Qt::ShiftModifier) << false;
    QTest::newRow("A alone") << int(Qt::NoModifier) << false;
}

void TextViewerTest::selectAll() {
    QFETCH(int, modifiers);
    QFETCH(bool, selectsAll);

    frmText viewer;
    const QString report = "Line 1\nLine 2\tvalue\nLast line";
    viewer.setText(report);
    viewer.setWindowTitle("Report");
    viewer.show();
    QVERIFY(QTest::qWaitForWindowActive(&viewer));
    QPlainTextEdit& box = viewer.textBox();
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(2);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    box.setTextCursor(cursor);
    QTest::keyClick(&box, Qt::Key_A, Qt::KeyboardModifiers(modifiers));
    if (selectsAll) {
        QCOMPARE(box.textCursor().selectionStart(), 0);
        QCOMPARE(box.textCursor().selectionEnd(), box.document()->characterCount() - 1);
    } else {
        QCOMPARE(box.textCursor().selectionStart(), 2);
        QCOMPARE(box.textCursor().selectionEnd(), 4);
    }
}

void TextViewerTest::boxFillsTheWindow() {
    frmText viewer;
    viewer.show();
    for (const QSize size : {QSize(300, 200), QSize(900, 700), QSize(400, 120)}) {
        viewer.resize(size);
        QTRY_COMPARE(viewer.textBox().geometry(), viewer.rect());
    }
}

int runTextViewerTest(int argc, char** argv) {
    TextViewerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TextViewerTest.moc"
