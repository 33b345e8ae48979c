#include "MemoryMapPicture.h"

#include "flash/ZEPEcu.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/TextCatalog.h"

#include <QFile>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace zep {

namespace {

constexpr double LabelWidth = 96, Margin = 8, LaneHeight = 18, LaneGap = 5, BreakWidth = 14, FontSize = 11;
// a text's width as the layout reckons it, the same for PNG and SVG
constexpr double CharWidth = FontSize * 0.62;

const QColor applicationArea(159, 183, 211), tuningArea(240, 179, 90), writeArea(124, 196, 124),
    excluded(170, 170, 170), imageInside(58, 111, 176), imageOutside(214, 40, 40), axisColour(90, 90, 90),
    textColour(30, 30, 30);

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString rangeText(const QString& what, const MemRange& r) {
    return q(tr("MemoryMapPicture/Messages/range/text", "{0}: {1} to {2}, {3} bytes", what.toStdString(),
                hex::withWidth(r.address, 8), hex::withWidth(r.last(), 8), r.count));
}

std::string escaped(const QString& text) {
    std::string out;
    for (const char c : text.toStdString()) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

MemoryMapPicture::Shape line(QPointF from, QPointF to) {
    MemoryMapPicture::Shape s;
    s.kind = MemoryMapPicture::Shape::Kind::Line;
    s.rect = QRectF(from, to);
    s.stroke = axisColour;
    return s;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

} // namespace

MemoryMapPicture::MemoryMapPicture(const ZEPEcu& ecu, const MemImage& image, bool tuning, QSizeF size)
    : size_(size) {
    const MemMap erase = ecu.EraseMap(false);
    const MemMap tuningMap = ecu.EraseMap(true);
    const MemMap write = ecu.WriteMap(tuning);
    const MemMap exclusions = ecu.EraseMap(tuning).subtract(write);
    const MemMap covered = image.map();
    const MemMap outside = covered.subtract(write);

    MemMap all;
    for (const MemMap* m : {&erase, &covered})
        for (const MemRange& r : *m)
            all.add(r);
    // Stretches close to each other stay on one scale; a gap larger than an eighth of its two
    // neighbours breaks the axis.
    left_ = LabelWidth;
    right_ = size.width() - Margin;
    for (const MemRange& r : all.merged()) {
        if (!islands_.empty()) {
            Island& last = islands_.back();
            const double gap = double(r.address - last.end);
            if (gap * 8 <= double(last.end - last.first) + double(r.count)) {
                last.end = r.end();
                continue;
            }
        }
        islands_.push_back({r.address, r.end(), 0, 0});
    }
    if (islands_.empty()) {
        shapes_.push_back(
            {Shape::Kind::Text,
             QRectF(Margin, 0, 0, size.height() / 2),
             {},
             textColour,
             false,
             false,
             q(tr("MemoryMapPicture/Messages/empty/text", "No memory map and no bytes to draw"))});
        return;
    }
    // each stretch gets a width that grows with its size, but slower, so that a small one stays visible
    const double available = right_ - left_ - BreakWidth * double(islands_.size() - 1);
    double total = 0;
    for (const Island& i : islands_)
        total += std::sqrt(double(i.end - i.first));
    double x = left_;
    for (Island& i : islands_) {
        i.x = x;
        i.width = available * std::sqrt(double(i.end - i.first)) / total;
        x += i.width + BreakWidth;
    }

    double y = Margin;
    const QString eraseText = q(tr("MemoryMapPicture/Messages/erase/text", "Erase map"));
    const QString tuningText = q(tr("MemoryMapPicture/Messages/tuning/text", "Tuning area"));
    const QString writeText = q(tr("MemoryMapPicture/Messages/write/text", "Write map"));
    const QString excludedText = q(tr("MemoryMapPicture/Messages/excluded/text", "Excluded"));
    const QString imageText = q(tr("MemoryMapPicture/Messages/image/text", "Image"));
    const QString outsideText = q(tr("MemoryMapPicture/Messages/outside/text", "Outside the write map"));
    lane(erase.subtract(tuningMap), y, applicationArea, eraseText);
    lane(tuningMap, y, tuningArea, tuningText);
    shapes_.push_back({Shape::Kind::Text,
                       QRectF(Margin, 0, 0, y + LaneHeight - 6),
                       {},
                       textColour,
                       false,
                       true,
                       eraseText});
    y += LaneHeight + LaneGap;
    lane(write, y, writeArea, writeText);
    lane(exclusions, y, excluded, excludedText, true);
    shapes_.push_back({Shape::Kind::Text,
                       QRectF(Margin, 0, 0, y + LaneHeight - 6),
                       {},
                       textColour,
                       false,
                       true,
                       writeText});
    y += LaneHeight + LaneGap;
    lane(covered.subtract(outside), y, imageInside, imageText);
    lane(outside, y, imageOutside, outsideText);
    shapes_.push_back({Shape::Kind::Text,
                       QRectF(Margin, 0, 0, y + LaneHeight - 6),
                       {},
                       textColour,
                       false,
                       true,
                       imageText});
    y += LaneHeight + 4;
    axis(y);
    legend(size.height() - Margin);
}

double MemoryMapPicture::xOf(std::uint64_t address) const {
    auto it = std::upper_bound(islands_.begin(), islands_.end(), address,
                               [](std::uint64_t a, const Island& i) { return a < i.first; });
    if (it == islands_.begin())
        return left_;
    --it;
    const std::uint64_t a = std::min(address, it->end);
    return it->x + it->width * double(a - it->first) / double(it->end - it->first);
}

void MemoryMapPicture::lane(const MemMap& ranges, double y, const QColor& fill, const QString& what,
                            bool hatched) {
    for (const MemRange& r : ranges) {
        const double x0 = xOf(r.address), x1 = xOf(r.end());
        // a range too small for the scale still shows as a hairline
        const QRectF rect(x0, y, std::max(x1 - x0, 1.5), LaneHeight);
        shapes_.push_back(
            {Shape::Kind::Rect, rect, fill, fill.darker(140), hatched, false, rangeText(what, r)});
    }
}

void MemoryMapPicture::axis(double y) {
    shapes_.push_back(line(QPointF(left_, y), QPointF(right_, y)));
    double free[3] = {0, 0,
                      0}; // where the last label of each row ends: a label that fits in none is left out
    const double labelWidth = 8 * CharWidth + 6;
    for (std::size_t k = 0; k < islands_.size(); ++k) {
        const Island& i = islands_[k];
        if (k > 0) { // the break: two slanted strokes
            const double bx = i.x - BreakWidth / 2;
            for (const double dx : {-3.0, 3.0})
                shapes_.push_back(line(QPointF(bx + dx - 2, y + 4), QPointF(bx + dx + 2, y - 4)));
        }
        // the stretch's ends, and marks between them when it is wide enough
        const int steps = std::max(1, int(i.width / (labelWidth * 1.6)));
        // a stretch narrower than a label is named by its start alone, leaving room for the next one's
        const int last = i.width < labelWidth ? 0 : steps;
        for (int s = 0; s <= last; ++s) {
            const std::uint64_t address =
                s == steps ? i.end - 1
                           : i.first + (i.end - i.first) * std::uint64_t(s) / std::uint64_t(steps);
            const double x = s == steps ? i.x + i.width : xOf(address);
            shapes_.push_back(line(QPointF(x, y), QPointF(x, y + 4)));
            double lx = std::clamp(x - labelWidth / 2, 0.0, size_.width() - labelWidth);
            const int row = lx >= free[0] ? 0 : lx >= free[1] ? 1 : lx >= free[2] ? 2 : 3;
            if (row > 2)
                continue;
            shapes_.push_back({Shape::Kind::Text,
                               QRectF(lx, 0, labelWidth, y + 6 + FontSize * double(row + 1)),
                               {},
                               axisColour,
                               false,
                               false,
                               q(hex::withWidth(address, 8))});
            free[row] = lx + labelWidth;
        }
    }
}

void MemoryMapPicture::legend(double baseline) {
    // The lanes name the plain colours; the legend tells the three that mark something.
    double x = Margin;
    const struct {
        QColor colour;
        bool hatched;
        const char* key;
        const char* text;
    } entries[] = {
        {tuningArea, false, "MemoryMapPicture/Messages/tuning/text", "Tuning area"},
        {excluded, true, "MemoryMapPicture/Messages/excluded/text", "Excluded"},
        {imageOutside, false, "MemoryMapPicture/Messages/outside/text", "Outside the write map"},
    };
    for (const auto& e : entries) {
        const QString text = q(tr(e.key, e.text));
        shapes_.push_back({Shape::Kind::Rect,
                           QRectF(x, baseline - 9, 10, 10),
                           e.colour,
                           e.colour.darker(140),
                           e.hatched,
                           false,
                           {}});
        shapes_.push_back(
            {Shape::Kind::Text, QRectF(x + 14, 0, 0, baseline), {}, textColour, false, false, text});
        x += 14 + CharWidth * double(text.size()) + 14;
    }
}

void MemoryMapPicture::paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(int(FontSize));
    for (const Shape& s : shapes_) {
        switch (s.kind) {
        case Shape::Kind::Rect:
            painter.setPen(QPen(s.stroke, 0.8));
            painter.setBrush(s.fill);
            painter.drawRect(s.rect);
            if (s.hatched) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(QBrush(s.stroke, Qt::BDiagPattern));
                painter.drawRect(s.rect);
            }
            break;
        case Shape::Kind::Line:
            painter.setPen(QPen(s.stroke, 1));
            painter.drawLine(s.rect.topLeft(), s.rect.bottomRight());
            break;
        case Shape::Kind::Text:
            font.setBold(s.bold);
            painter.setFont(font);
            painter.setPen(s.stroke);
            painter.drawText(QPointF(s.rect.left(), s.rect.bottom()), s.text);
            break;
        }
    }
    painter.restore();
}

QImage MemoryMapPicture::toImage() const {
    QImage image(size_.toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter);
    return image;
}

std::string MemoryMapPicture::toSvg() const {
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
        number(size_.width()) + "\" height=\"" + number(size_.height()) +
        "\" font-family=\"sans-serif\" font-size=\"" + number(FontSize) + "\">\n" +
        "<defs><pattern id=\"hatch\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\">"
        "<path d=\"M0,6 L6,0\" stroke=\"#555\" stroke-width=\"1\"/></pattern></defs>\n" +
        "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    for (const Shape& s : shapes_) {
        switch (s.kind) {
        case Shape::Kind::Rect: {
            const std::string box = "x=\"" + number(s.rect.x()) + "\" y=\"" + number(s.rect.y()) +
                                    "\" width=\"" + number(s.rect.width()) + "\" height=\"" +
                                    number(s.rect.height()) + "\"";
            svg += "<rect " + box + " fill=\"" + s.fill.name().toStdString() + "\" stroke=\"" +
                   s.stroke.name().toStdString() + "\" stroke-width=\"0.8\">";
            if (!s.text.isEmpty())
                svg += "<title>" + escaped(s.text) + "</title>";
            svg += "</rect>\n";
            if (s.hatched)
                svg += "<rect " + box + " fill=\"url(#hatch)\"/>\n";
            break;
        }
        case Shape::Kind::Line:
            svg += "<line x1=\"" + number(s.rect.left()) + "\" y1=\"" + number(s.rect.top()) + "\" x2=\"" +
                   number(s.rect.right()) + "\" y2=\"" + number(s.rect.bottom()) + "\" stroke=\"" +
                   s.stroke.name().toStdString() + "\"/>\n";
            break;
        case Shape::Kind::Text:
            svg += "<text x=\"" + number(s.rect.left()) + "\" y=\"" + number(s.rect.bottom()) + "\" fill=\"" +
                   s.stroke.name().toStdString() + "\"" + (s.bold ? " font-weight=\"bold\"" : "") + ">" +
                   escaped(s.text) + "</text>\n";
            break;
        }
    }
    return svg + "</svg>\n";
}

QString MemoryMapPicture::toolTipAt(QPointF position) const {
    // the last drawn is on top
    for (auto it = shapes_.rbegin(); it != shapes_.rend(); ++it)
        if (it->kind == Shape::Kind::Rect && !it->text.isEmpty() && it->rect.contains(position))
            return it->text;
    return {};
}

void MemoryMapPicture::save(const std::string& path) const {
    const QString file = q(path);
    bool written = false;
    if (file.endsWith(".svg", Qt::CaseInsensitive)) {
        QFile out(file);
        const std::string svg = toSvg();
        written = out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  out.write(svg.data(), qint64(svg.size())) == qint64(svg.size());
    } else if (file.endsWith(".png", Qt::CaseInsensitive)) {
        written = toImage().save(file, "PNG");
    } else {
        throw ZepError(errors::File, tr("MemoryMapPicture/Messages/kind/text",
                                        "{0}: give a file name ending in .png or .svg", path));
    }
    if (!written)
        throw ZepError(errors::File,
                       tr("MemoryMapPicture/Messages/notWritten/text",
                          "The picture could not be written to {0}: choose a folder you may write to", path));
}

} // namespace zep
