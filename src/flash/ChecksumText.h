#pragma once

#include "memory/Checksums.h"

#include <string>
#include <vector>

namespace zep {

/** the KWP CRC (4 digits), CRC-32 and byte sum (8 digits each), upper-case hexadecimal */
std::vector<std::string> checksumCells(const Checksums& checksums);
/** the three checksums in one localised line */
std::string checksumsText(const Checksums& checksums);

} // namespace zep
