#include "pictures/Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRandomGenerator>

#include <cmath>
#include <functional>
#include <map>
#include <numbers>

namespace zep::pictures {

namespace {

// One palette for every icon: a flat fill and a darker outline of the same hue.
struct Tone {
    QColor fill;
    QColor line;
};

const Tone paper{QColor(0xFF, 0xFF, 0xFF), QColor(0x5E, 0x6E, 0x80)};
const Tone folderBack{QColor(0xE3, 0xA5, 0x30), QColor(0x94, 0x62, 0x0E)};
const Tone folderFront{QColor(0xF8, 0xCB, 0x5E), QColor(0x94, 0x62, 0x0E)};
const Tone blue{QColor(0x3F, 0x8C, 0xD9), QColor(0x1D, 0x55, 0x91)};
const Tone lightBlue{QColor(0xB4, 0xD8, 0xF7), QColor(0x1D, 0x55, 0x91)};
const Tone green{QColor(0x43, 0xA8, 0x4A), QColor(0x23, 0x6E, 0x29)};
const Tone red{QColor(0xE0, 0x4B, 0x3F), QColor(0x99, 0x22, 0x1A)};
const Tone metal{QColor(0xD3, 0xDB, 0xE3), QColor(0x4A, 0x57, 0x66)};
const Tone chip{QColor(0x3A, 0x48, 0x55), QColor(0x1B, 0x23, 0x2B)};
const Tone orange{QColor(0xF5, 0x9A, 0x2C), QColor(0xA3, 0x58, 0x05)};
const QColor textLine(0xA9, 0xB6, 0xC4);
const QColor pin(0xB9, 0x9A, 0x4E);

/**
 * Draws in a 16 by 16 unit grid onto a square pixmap of any size. Shapes are filled and outlined
 * inside their edges, so that an edge on a whole unit stays on a pixel boundary at 16, 32 and 48
 * pixels, and outlines keep one to two pixels whatever the size.
 */
class Canvas {
public:
    Canvas(QPainter& painter, int size)
        : p_(painter), scale_(size / 16.0), line_(std::max(1.0, std::round(size / 20.0))) {
        p_.setRenderHint(QPainter::Antialiasing);
        p_.setPen(Qt::NoPen);
    }

    double scale() const { return scale_; }
    /** the outline width in units */
    double line() const { return line_ / scale_; }

    /** fills the shape (unit coordinates) and draws its outline of widthPx pixels inside its edge */
    void shape(const QPainterPath& units, const Tone& tone, double widthPx = 0) const {
        const QPainterPath outer = toPixels(units);
        QPainterPathStroker stroker;
        stroker.setWidth(2 * (widthPx > 0 ? widthPx : line_));
        stroker.setJoinStyle(Qt::MiterJoin);
        const QPainterPath inner = outer.subtracted(stroker.createStroke(outer));
        p_.fillPath(outer, tone.line);
        p_.fillPath(inner, tone.fill);
    }

    /** only the outline of shape(): a frame laid over what was drawn inside */
    void frame(const QPainterPath& units, const QColor& color) const {
        const QPainterPath outer = toPixels(units);
        QPainterPathStroker stroker;
        stroker.setWidth(2 * line_);
        stroker.setJoinStyle(Qt::MiterJoin);
        p_.fillPath(outer.subtracted(outer.subtracted(stroker.createStroke(outer))), color);
    }

    void fill(const QPainterPath& units, const QColor& color) const { p_.fillPath(toPixels(units), color); }

    /** a filled rectangle with no outline; its edges snap to pixels */
    void bar(double x, double y, double w, double h, const QColor& color) const {
        const double l = std::round(x * scale_), t = std::round(y * scale_);
        p_.fillRect(QRectF(l, t, std::max(1.0, std::round((x + w) * scale_) - l),
                           std::max(1.0, std::round((y + h) * scale_) - t)),
                    color);
    }

    /** a horizontal line one outline thick whose top is at unit y */
    void rule(double x1, double x2, double y, const QColor& color) const {
        const double l = std::round(x1 * scale_), t = std::round(y * scale_);
        p_.fillRect(QRectF(l, t, std::round(x2 * scale_) - l, line_), color);
    }

    /** a vertical line one outline thick whose left is at unit x */
    void post(double x, double y1, double y2, const QColor& color) const {
        const double l = std::round(x * scale_), t = std::round(y1 * scale_);
        p_.fillRect(QRectF(l, t, line_, std::round(y2 * scale_) - t), color);
    }

    /** clears a margin of one outline around a shape about to be laid over others */
    void halo(const QPainterPath& units) const {
        QPainterPathStroker stroker;
        stroker.setWidth(2 * line_ * 1.5);
        const QPainterPath pixels = toPixels(units);
        const QPainterPath around = stroker.createStroke(pixels).united(pixels);
        p_.save();
        p_.setCompositionMode(QPainter::CompositionMode_Clear);
        p_.fillPath(around, Qt::transparent);
        p_.restore();
    }

    QPainterPath toPixels(const QPainterPath& units) const {
        return QTransform::fromScale(scale_, scale_).map(units);
    }

private:
    QPainter& p_;
    double scale_;
    double line_;
};

QPainterPath rect(double x, double y, double w, double h, double radius = 0) {
    QPainterPath path;
    if (radius > 0)
        path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
    else
        path.addRect(QRectF(x, y, w, h));
    return path;
}

QPainterPath ellipse(double x, double y, double w, double h) {
    QPainterPath path;
    path.addEllipse(QRectF(x, y, w, h));
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

/** a thick line as a shape, so that it can be outlined */
QPainterPath thickLine(QPointF from, QPointF to, double width, Qt::PenCapStyle cap = Qt::RoundCap) {
    QPainterPath line(from);
    line.lineTo(to);
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    return stroker.createStroke(line).simplified();
}

QPainterPath gear(QPointF centre, double outer, double inner, double hole, int teeth) {
    QPolygonF points;
    const double step = 2 * std::numbers::pi / teeth;
    for (int i = 0; i < teeth; ++i) {
        const double a = i * step;
        // a tooth is a trapezoid: wide at the root, narrower at the tip
        for (auto [da, r] : {std::pair{-0.30, inner}, {-0.17, outer}, {0.17, outer}, {0.30, inner}})
            points << centre + QPointF(std::cos(a + da * step * 2) * r, std::sin(a + da * step * 2) * r);
    }
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    QPainterPath middle;
    middle.addEllipse(centre, hole, hole);
    return path.subtracted(middle);
}

void closedFolder(const Canvas& c, double x, double y, double w, double h) {
    c.shape(polygon({{x, y},
                     {x + w * 0.38, y},
                     {x + w * 0.38 + 1.5, y + 1.5},
                     {x + w, y + 1.5},
                     {x + w, y + h},
                     {x, y + h}}),
            folderBack);
    c.shape(rect(x, y + 3, w, h - 3), folderFront);
}

void openFolder(const Canvas& c, double x, double y, double w, double h) {
    c.shape(polygon({{x, y},
                     {x + w * 0.38, y},
                     {x + w * 0.38 + 1.5, y + 1.5},
                     {x + w - 1, y + 1.5},
                     {x + w - 1, y + h},
                     {x, y + h}}),
            folderBack);
    c.shape(polygon({{x + 2.5, y + 4}, {x + w + 1, y + 4}, {x + w - 2, y + h}, {x, y + h}}), folderFront);
}

void drawNew(const Canvas& c) {
    c.shape(polygon({{2, 0}, {9, 0}, {13, 4}, {13, 15}, {2, 15}}), paper);
    c.shape(polygon({{9, 0}, {13, 4}, {9, 4}}), {textLine.lighter(120), paper.line});
    for (double y : {6.0, 8.0, 10.0})
        c.rule(4, 11, y, textLine);
    const QPainterPath badge = ellipse(8, 8, 8, 8);
    c.halo(badge);
    c.shape(badge, green);
    c.bar(11, 9.5, 2, 5, Qt::white);
    c.bar(9.5, 11, 5, 2, Qt::white);
}

void drawOpen(const Canvas& c) {
    openFolder(c, 0, 2, 15, 12);
}

void drawSave(const Canvas& c) {
    c.shape(polygon({{1, 1}, {13, 1}, {15, 3}, {15, 15}, {1, 15}}), blue);
    c.shape(rect(4, 1, 8, 5), metal);
    c.bar(9, 2, 2, 3, blue.line);
    c.shape(rect(3, 9, 10, 6), paper);
    c.rule(5, 11, 11, textLine);
    c.rule(5, 11, 13, textLine);
}

void drawDelete(const Canvas& c) {
    const QPainterPath cross =
        thickLine({3.5, 3.5}, {12.5, 12.5}, 4).united(thickLine({12.5, 3.5}, {3.5, 12.5}, 4));
    c.shape(cross.simplified(), red);
}

QPainterPath upArrow(double cx, double top, double bottom, double head, double shaft) {
    const double neck = top + head * 0.9;
    return polygon({{cx, top},
                    {cx + head, neck},
                    {cx + shaft / 2, neck},
                    {cx + shaft / 2, bottom},
                    {cx - shaft / 2, bottom},
                    {cx - shaft / 2, neck},
                    {cx - head, neck}});
}

void drawUp(const Canvas& c) {
    closedFolder(c, 0, 3, 16, 12);
    const QPainterPath arrow = upArrow(8, 1, 14, 4.5, 3);
    c.halo(arrow);
    c.shape(arrow, green);
}

void drawLargeIcons(const Canvas& c) {
    for (double y : {1.0, 9.0})
        for (double x : {1.0, 9.0})
            c.shape(rect(x, y, 6, 6, 1), blue);
}

void drawSmallIcons(const Canvas& c) {
    for (double y : {1.0, 6.0, 11.0})
        for (double x : {1.0, 6.0, 11.0})
            c.shape(rect(x, y, 4, 4), blue);
}

void drawList(const Canvas& c) {
    for (double y : {1.0, 5.0, 9.0, 13.0}) {
        c.bar(1, y, 3, 3, blue.fill);
        c.rule(6, 15, y + 1, paper.line);
    }
}

void drawDetails(const Canvas& c) {
    c.shape(rect(1, 1, 14, 14), paper);
    c.bar(1, 1, 14, 4, blue.fill);
    c.frame(rect(1, 1, 14, 14), paper.line);
    c.post(6, 5, 15, textLine);
    for (double y : {7.0, 9.5, 12.0}) {
        c.rule(2.5, 5, y, paper.line);
        c.rule(7.5, 13.5, y, textLine);
    }
}

void drawProperties(const Canvas& c) {
    c.shape(rect(0, 1, 16, 14, 1), paper);
    c.bar(0.5, 1.5, 15, 3, blue.fill);
    c.frame(rect(0, 1, 16, 14, 1), paper.line);
    for (double y : {6.0, 10.0}) {
        c.rule(2, 5, y + 1.5, paper.line);
        c.shape(rect(6.5, y, 7.5, 3.5), {Qt::white, blue.line});
    }
}

void drawFind(const Canvas& c) {
    c.shape(thickLine({10, 10}, {14.5, 14.5}, 3.2), {QColor(0x6A, 0x78, 0x87), chip.line});
    c.shape(ellipse(0.5, 0.5, 11, 11), lightBlue, std::max(1.0, std::round(c.scale() * 1.4)));
    QPainterPath shine;
    shine.arcMoveTo(QRectF(3, 3, 6, 6), 100);
    shine.arcTo(QRectF(3, 3, 6, 6), 100, 70);
    QPainterPathStroker stroker;
    stroker.setWidth(1.2);
    stroker.setCapStyle(Qt::RoundCap);
    c.fill(stroker.createStroke(shine), QColor(255, 255, 255, 230));
}

void drawRoot(const Canvas& c) {
    const QPainterPath body = rect(2, 3, 12, 10).united(ellipse(2, 10, 12, 5)).united(ellipse(2, 1, 12, 5));
    c.shape(body.simplified(), blue);
    c.shape(ellipse(2, 1, 12, 5), lightBlue);
    // the bands of the drum, as lower halves of its rim
    for (double y : {5.0, 8.5}) {
        QPainterPath band;
        band.arcMoveTo(QRectF(2, y - 2.5 + 0.5, 12, 5), 180);
        band.arcTo(QRectF(2, y - 2.5 + 0.5, 12, 5), 180, 180);
        QPainterPathStroker stroker;
        stroker.setWidth(c.line());
        c.fill(stroker.createStroke(band), blue.line);
    }
}

void gearBadge(const Canvas& c, const QColor& color) {
    const QPainterPath wheel = gear({11.5, 11.5}, 4.5, 3.1, 1.4, 8);
    c.halo(wheel);
    c.fill(wheel, color);
}

void drawFunction(const Canvas& c) {
    closedFolder(c, 0, 1, 15, 12);
    gearBadge(c, chip.fill);
}

void drawFunctionSelected(const Canvas& c) {
    openFolder(c, 0, 1, 15, 12);
    gearBadge(c, blue.line);
}

void drawEcu(const Canvas& c) {
    for (double x : {3.0, 5.5, 8.0, 10.5, 13.0})
        c.bar(x - 0.5, 11, 1, 4, pin);
    c.shape(rect(0, 2, 16, 10, 1.5), metal);
    c.shape(rect(3, 4.5, 10, 5, 0.5), {QColor(0x9F, 0xAE, 0xBC), metal.line});
    c.fill(ellipse(12.5, 2.8, 1.6, 1.6), green.fill);
}

void drawApplication(const Canvas& c) {
    for (double at : {4.0, 7.0, 10.0}) {
        c.bar(at, 0, 1, 2, pin);
        c.bar(at, 13, 1, 2, pin);
        c.bar(0, at, 2, 1, pin);
        c.bar(13, at, 2, 1, pin);
    }
    c.shape(rect(2, 2, 11, 11, 1), chip);
    c.shape(rect(5, 5, 5, 5), blue);
}

void drawTuning(const Canvas& c) {
    const std::pair<double, double> sliders[] = {{2, 8}, {7, 3}, {12, 6}};
    for (auto [x, knob] : sliders) {
        c.bar(x, 1, 1, 14, metal.line);
    }
    for (auto [x, knob] : sliders)
        c.shape(rect(x - 2, knob, 5, 4, 0.8), orange);
}

using Drawing = std::function<void(const Canvas&)>;

const std::map<QString, Drawing>& drawings() {
    static const std::map<QString, Drawing> all{
        {"New", drawNew},
        {"Open", drawOpen},
        {"Save", drawSave},
        {"Delete", drawDelete},
        {"Up", drawUp},
        {"LargeIcons", drawLargeIcons},
        {"SmallIcons", drawSmallIcons},
        {"List", drawList},
        {"Details", drawDetails},
        {"Properties", drawProperties},
        {"Find", drawFind},
        {"root", drawRoot},
        {"function", drawFunction},
        {"function_selected", drawFunctionSelected},
        {"ecu", drawEcu},
        {"application", drawApplication},
        {"tuning", drawTuning},
    };
    return all;
}

QPixmap render(const Drawing& draw, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    draw(Canvas(painter, size));
    return pixmap;
}

QIcon iconOf(const Drawing& draw, std::initializer_list<int> sizes) {
    QIcon result;
    for (int size : sizes)
        result.addPixmap(render(draw, size));
    return result;
}

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

void drawApplicationIcon(const Canvas& c) {
    c.shape(rect(0, 0, 16, 16, 3), {QColor(0x2F, 0x7C, 0xC8), QColor(0x1A, 0x4C, 0x85)});
    const Tone chipOnTile{QColor(0xF4, 0xF8, 0xFC), QColor(0x1A, 0x4C, 0x85)};
    for (double at : {5.5, 7.5, 9.5}) {
        c.bar(at, 2, 1, 2, chipOnTile.fill);
        c.bar(at, 12, 1, 2, chipOnTile.fill);
        c.bar(2, at, 2, 1, chipOnTile.fill);
        c.bar(12, at, 2, 1, chipOnTile.fill);
    }
    c.shape(rect(3.5, 3.5, 9, 9, 1), chipOnTile);
    // a signal trace across the chip: what the program looks at
    QPainterPath signal({4.5, 9});
    signal.lineTo(6, 9);
    signal.lineTo(7, 6);
    signal.lineTo(8.5, 10.5);
    signal.lineTo(9.5, 7.5);
    signal.lineTo(11.5, 7.5);
    QPainterPathStroker stroker;
    stroker.setWidth(1.1);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setCapStyle(Qt::RoundCap);
    c.fill(stroker.createStroke(signal), orange.fill.darker(110));
}

} // namespace

QIcon icon(const QString& key) {
    const auto found = drawings().find(key);
    if (found == drawings().end())
        return {};
    return iconOf(found->second, {16, 24, 32, 48});
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
    return iconOf(drawApplicationIcon, {16, 24, 32, 48, 64, 128, 256});
}

} // namespace zep::pictures
