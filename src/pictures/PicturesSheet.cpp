// Writes every picture onto one sheet: each icon at 16, 24, 32 and 48 pixels on light and dark
// ground, enlarged four times at 16 pixels, disabled, and both backgrounds with list text over them.

#include "pictures/Pictures.h"

#include <QGuiApplication>
#include <QPainter>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("pictures.png");
    const QStringList keys{
        "New",  "Open",        "Save",       "Delete", "Up",   "LargeIcons", "SmallIcons",
        "List", "Details",     "Properties", "Find",   "root", "function",   "function_selected",
        "ecu",  "application", "tuning"};
    const int sizes[] = {16, 24, 32, 48};
    const int row = 60;
    QImage sheet(1200, 80 + row * (keys.size() + 1) + 280, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.setFont(QFont("DejaVu Sans", 9));

    int y = 10;
    auto drawRow = [&](const QString& name, const QIcon& icon) {
        p.setPen(Qt::black);
        p.drawText(QRect(10, y, 140, 48), Qt::AlignVCenter, name);
        int x = 150;
        for (int size : sizes) {
            p.drawPixmap(x, y + (48 - size) / 2, icon.pixmap(size));
            x += 56;
        }
        p.fillRect(QRect(x, y - 4, 4 * 56, 56), QColor(0x2B, 0x2F, 0x36));
        for (int size : sizes) {
            p.drawPixmap(x + 4, y + (48 - size) / 2, icon.pixmap(size));
            x += 56;
        }
        x += 10;
        p.drawPixmap(x, y - 4, icon.pixmap(16).scaled(56, 56, Qt::KeepAspectRatio, Qt::FastTransformation));
        x += 66;
        p.drawPixmap(x, y - 4, icon.pixmap(24).scaled(56, 56, Qt::KeepAspectRatio, Qt::FastTransformation));
        x += 66;
        p.drawPixmap(x, y + 8, icon.pixmap(32, QIcon::Disabled));
        x += 48;
        p.drawPixmap(x, y + 16, icon.pixmap(16, QIcon::Selected));
        y += row;
    };
    for (const QString& key : keys)
        drawRow(key, zep::pictures::icon(key));
    drawRow("application icon", zep::pictures::applicationIcon());
    p.drawPixmap(1000, 10, zep::pictures::applicationIcon().pixmap(128));

    int x = 10;
    for (const QString& key : zep::pictures::backgroundKeys()) {
        const QPixmap picture = zep::pictures::background(key, QSize(560, 260));
        p.drawPixmap(x, y, picture);
        p.setPen(Qt::black);
        for (int i = 0; i < 6; ++i) {
            p.drawPixmap(x + 10, y + 10 + i * 22,
                         zep::pictures::icon(i % 2 ? "ecu" : "application").pixmap(16));
            p.drawText(x + 32, y + 23 + i * 22,
                       QString("%1 item %2   0x00008000   2002-10-14").arg(key).arg(i));
        }
        x += 580;
    }
    p.end();
    if (!sheet.save(out)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}
