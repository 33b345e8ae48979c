// The memory-map picture without a screen: which ranges it draws in which lane, the tool tips, the SVG
// text, and the piecewise axis that keeps a small range far from the others visible.
#include "maps/MemoryMapPicture.h"

#include "flash/ZEPEcu.h"
#include "memory/ZepError.h"

#include <gtest/gtest.h>

namespace zep {
namespace {

/** the tool tips of the drawn ranges, in drawing order */
std::vector<std::string> rangesDrawn(const MemoryMapPicture& picture) {
    std::vector<std::string> out;
    for (const auto& s : picture.shapes())
        if (s.kind == MemoryMapPicture::Shape::Kind::Rect && !s.text.isEmpty())
            out.push_back(s.text.toStdString());
    return out;
}

TEST(MemoryMapPicture, DrawsTheMapsAndTheImageOverThem) {
    ZEPEcu ecu;
    ecu.addMapping(0x1000, 0x1000, false);
    ecu.addMapping(0x8000, 0x600, true);
    ecu.addExclusion(0x8100, 0x10, true);
    ecu.addMapping(0x80000000, 0x100, false); // far away: the axis breaks
    MemImage image;
    image.add(0x8000, std::vector<std::uint8_t>(0x200, 0x5A));
    image.add(0x9000, std::vector<std::uint8_t>(4, 0xA5));
    const MemoryMapPicture picture(ecu, image, true, QSizeF(900, MemoryMapPicture::DefaultHeight));
    EXPECT_EQ(
        rangesDrawn(picture),
        (std::vector<std::string>{
            // clang-format off
        "Erase map: 00001000 to 00001FFF, 4096 bytes",
        "Erase map: 80000000 to 800000FF, 256 bytes",
        "Tuning area: 00008000 to 000085FF, 1536 bytes",
        "Write map: 00008000 to 000080FF, 256 bytes",
        "Write map: 00008110 to 000085FF, 1264 bytes",
        "Excluded: 00008100 to 0000810F, 16 bytes",
        "Image: 00008000 to 000080FF, 256 bytes",
        "Image: 00008110 to 000081FF, 240 bytes",
        "Outside the write map: 00008100 to 0000810F, 16 bytes",
        "Outside the write map: 00009000 to 00009003, 4 bytes",
            // clang-format on
        }));
    for (const auto& s : picture.shapes()) {
        if (s.kind != MemoryMapPicture::Shape::Kind::Rect || s.text.isEmpty())
            continue;
        // each range is in sight, the one 2 GiB away too, and says what it is under the pointer
        EXPECT_GE(s.rect.width(), 1.5) << s.text.toStdString();
        EXPECT_LE(s.rect.right(), 900.0) << s.text.toStdString();
        if (s.text.startsWith("Erase map: 8")) {
            EXPECT_GT(s.rect.width(), 20.0);
        }
        EXPECT_EQ(picture.toolTipAt(s.rect.center()), s.text);
    }
    EXPECT_EQ(picture.toolTipAt(QPointF(1, 1)), QString());
    const std::string svg = picture.toSvg();
    EXPECT_NE(svg.find("<title>Outside the write map: 00009000 to 00009003, 4 bytes</title>"),
              std::string::npos);
    EXPECT_NE(svg.find(">80000000</text>"), std::string::npos) << "the far stretch has its address:\n" << svg;
    EXPECT_THROW(picture.save("/tmp/picture.gif"), ZepError);
    EXPECT_THROW(picture.save("/no/such/folder/picture.svg"), ZepError);
}

} // namespace
} // namespace zep
