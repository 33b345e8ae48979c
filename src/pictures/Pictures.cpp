#include "pictures/Pictures.h"

#include "text/Documents.h"

#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

#include <cmath>
#include <numbers>

namespace zep::pictures {

namespace {

// A deterministic pattern, so that the background looks the same every time.
QRandomGenerator patternRandom() {
    return QRandomGenerator(0x2EB1);
}

void drawValdore(QPainter& p, QSize size) {
    QLinearGradient sky(0, 0, size.width() * 0.4, size.height());
    sky.setColorAt(0, QColor(0xF6, 0xFA, 0xFE));
    sky.setColorAt(1, QColor(0xDD, 0xEA, 0xF7));
    p.fillRect(QRect(QPoint(0, 0), size), sky);

    // circuit traces on a grid: straight runs joined by 45 degree bends, a pad at each end
    const double grid = 16;
    const QColor trace(0x3C, 0x78, 0xB8, 34);
    QPen pen(trace, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    auto random = patternRandom();
    const QPointF directions[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    // one trace starts in each cell of a coarse grid, so that they spread over the whole picture
    const int cell = 5;
    for (int cy = 0; cy * cell * grid < size.height(); ++cy)
        for (int cx = 0; cx * cell * grid < size.width(); ++cx) {
            QPointF at((cx * cell + random.bounded(cell)) * grid, (cy * cell + random.bounded(cell)) * grid);
            int direction = random.bounded(4);
            QPainterPath path(at);
            const int runs = 2 + random.bounded(3);
            for (int run = 0; run < runs; ++run) {
                at += directions[direction] * grid * (1 + random.bounded(4));
                path.lineTo(at);
                if (run + 1 < runs) {
                    const int turn = (direction + (random.bounded(2) ? 1 : 3)) % 4;
                    at += (directions[direction] + directions[turn]) * grid;
                    path.lineTo(at);
                    direction = turn;
                }
            }
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
            p.setBrush(QColor(0xF6, 0xFA, 0xFE, 160));
            p.drawEllipse(path.elementAt(0), 3, 3);
            p.drawEllipse(at, 3, 3);
        }
}

void drawTolmak(QPainter& p, QSize size) {
    QLinearGradient sand(0, 0, size.width(), size.height() * 0.6);
    sand.setColorAt(0, QColor(0xFE, 0xF8, 0xEF));
    sand.setColorAt(1, QColor(0xF6, 0xE3, 0xCA));
    p.fillRect(QRect(QPoint(0, 0), size), sand);

    // wave lines whose amplitude swells and fades across the picture
    auto random = patternRandom();
    const double spacing = 22;
    for (double base = spacing / 2; base < size.height() + spacing; base += spacing) {
        const double wavelength = 90 + random.bounded(60);
        const double phase = random.generateDouble() * 2 * std::numbers::pi;
        const double amplitude = 4 + random.bounded(5);
        QPainterPath wave;
        for (int x = -4; x <= size.width() + 4; x += 2) {
            const double swell =
                0.6 + 0.4 * std::sin(x / double(size.width()) * std::numbers::pi * 1.5 + phase);
            const QPointF point(x, base + amplitude * swell *
                                              std::sin(x * 2 * std::numbers::pi / wavelength + phase));
            if (x == -4)
                wave.moveTo(point);
            else
                wave.lineTo(point);
        }
        p.setPen(QPen(QColor(0xC0, 0x7A, 0x38, 30 + random.bounded(14)), 1.4));
        p.drawPath(wave);
    }
}

} // namespace

QIcon icon(const QString& key) {
    // SVG files a designer can edit: the toolbar's drawn for 24 pixels, the items' for 16 and 32
    static const QString folder = QString::fromStdString(defaultBaseLocation()) + "/icons/";
    const QString file = folder + key + ".svg";
    if (key.isEmpty() || !QFileInfo(file).isFile())
        return {};
    return QIcon(file);
}

QPixmap background(const QString& key, QSize size) {
    const bool valdore = key == QLatin1String("Valdore");
    if (!valdore && key != QLatin1String("Tolmak"))
        return {};
    if (size.isEmpty())
        size = QSize(512, 512);
    QPixmap pixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (valdore)
        drawValdore(painter, size);
    else
        drawTolmak(painter, size);
    return pixmap;
}

QStringList backgroundKeys() {
    return {QStringLiteral("Valdore"), QStringLiteral("Tolmak")};
}

QIcon applicationIcon() {
    return icon(QStringLiteral("zepviewer"));
}

} // namespace zep::pictures
