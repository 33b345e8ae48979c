#pragma once

#include "flash/ZEPEcu.h"
#include "maps/MemoryMapPicture.h"

#include <QWidget>

#include <optional>

namespace zep {

/** The memory-map picture of an image as a strip that takes the width it is given; tool tips name the range
 * under the pointer. */
class MemoryMapStrip : public QWidget {
    Q_OBJECT
public:
    /** ecu and image are copied where needed: the picture is drawn anew at each width */
    MemoryMapStrip(const ZEPEcu& ecu, const MemImage& image, bool tuning, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    const MemoryMapPicture& picture() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    ZEPEcu ecu_;
    const MemImage& image_;
    bool tuning_;
    mutable std::optional<MemoryMapPicture> picture_;
};

} // namespace zep
