#include "pictures/Pictures.h"

#include <QImage>
#include <QTest>

// The icons are SVG files drawn by Qt's SVG plugin: a missing file or plugin leaves blank buttons.
class PicturesTest : public QObject {
    Q_OBJECT
private slots:
    void everyIconIsDrawn() {
        for (const char* key : {"New", "Open", "Save", "Delete", "Up", "LargeIcons", "SmallIcons", "List",
                                "Details", "Properties", "Find", "root", "function", "function_selected",
                                "ecu", "application", "tuning", ""}) {
            const QIcon icon = *key ? zep::pictures::icon(key) : zep::pictures::applicationIcon();
            const QImage picture = icon.pixmap(24).toImage();
            int drawn = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    drawn += qAlpha(picture.pixel(x, y)) > 128;
            QVERIFY2(drawn > 24 * 24 / 8, key);
        }
        QVERIFY(zep::pictures::icon("Missing").isNull());
    }
};

QTEST_MAIN(PicturesTest)
#include "PicturesTest.moc"
