#pragma once

#include "FlashFile.h"
#include "StartAddress.h"

#include <optional>
#include <string_view>

namespace zep {

class Interaction;
class MemImage;
class OutputBuffer;

/**
 * Intel-hex files: data, end of file, extended segment and extended linear address records, and the
 * start segment and start linear address records that toolchains write.
 */
namespace h86 {

/**
 * Clears image and fills it; stops at the first bad line with ZepError 1000 naming the line. Gives the
 * start address of the last start record, if any.
 */
std::optional<StartAddress> read(std::string_view text, MemImage& image, Interaction& ui,
                                 const ReleaseBytes& release = {});

/**
 * A page record for page 0, data of at most 32 bytes a line under page records, the start record of
 * start if there is one, the end record last.
 */
void write(const MemImage& image, const std::optional<StartAddress>& start, OutputBuffer& out);

} // namespace h86
} // namespace zep
