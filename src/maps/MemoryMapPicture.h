#pragma once

#include "memory/MemImage.h"
#include "memory/MemMap.h"

#include <QColor>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <string>
#include <vector>

class QImage;
class QPainter;

namespace zep {

class ZEPEcu;

/**
 * Where an image lies against its ECU's memory: three lanes over one address axis, the erase map
 * (tuning area marked), the write map with its exclusions, and the image's ranges, those outside the
 * write map in red. The axis is piecewise: stretches of memory far apart are drawn side by side with a
 * break between, each to scale inside, so that a sparse map stays readable.
 *
 * Made without widgets: the picture is a list of shapes that paints on any QPainter (a PNG, a strip in
 * a dialog) and writes itself as SVG text; the shape under a point gives its tool tip.
 */
class MemoryMapPicture {
public:
    static constexpr int DefaultWidth = 900, DefaultHeight = 142;

    /** tuning: the image is a tuning, shown against the tuning write map; else the global one */
    MemoryMapPicture(const ZEPEcu& ecu, const MemImage& image, bool tuning, QSizeF size);

    QSizeF size() const { return size_; }
    void paint(QPainter& painter) const;
    QImage toImage() const;
    std::string toSvg() const;
    /** what the shape under position stands for; empty over no range */
    QString toolTipAt(QPointF position) const;
    /** writes a .png or a .svg file, by the path's extension; a failure is a ZepError saying what to do */
    void save(const std::string& path) const;

    struct Shape {
        enum class Kind { Rect, Line, Text } kind = Kind::Rect;
        QRectF rect; // a line from its top left to its bottom right; a text's baseline at its left and bottom
        QColor fill;
        QColor stroke;
        bool hatched = false;
        bool bold = false;
        QString text; // what a text says, or a range's tool tip
    };
    const std::vector<Shape>& shapes() const { return shapes_; }

private:
    struct Island {
        std::uint64_t first, end; // end exclusive
        double x, width;
    };
    double xOf(std::uint64_t address) const;
    void lane(const MemMap& ranges, double y, const QColor& fill, const QString& what, bool hatched = false);
    void axis(double y);
    void legend(double y);

    QSizeF size_;
    double left_ = 0, right_ = 0;
    std::vector<Island> islands_;
    std::vector<Shape> shapes_;
};

} // namespace zep
