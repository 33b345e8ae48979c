#pragma once

#include <string_view>

namespace zep {

class Interaction;
class MemImage;
class OutputBuffer;

/** Intel-hex files: data, end of file, extended segment and extended linear address records. */
namespace h86 {

/** Clears image and fills it; stops at the first bad line with ZepError 1000 naming the line. */
void read(std::string_view text, MemImage& image, Interaction& ui);

/** A page record for page 0, data of at most 32 bytes a line under page records, the end record last. */
void write(const MemImage& image, OutputBuffer& out);

} // namespace h86
} // namespace zep
