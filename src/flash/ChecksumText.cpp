#include "ChecksumText.h"

#include "memory/Hex.h"
#include "text/TextCatalog.h"

namespace zep {

std::vector<std::string> checksumCells(const Checksums& checksums) {
    return {hex::withWidth(checksums.kwpCrc, 4), hex::withWidth(checksums.crc32, 8),
            hex::withWidth(checksums.sum, 8)};
}

std::string checksumsText(const Checksums& checksums) {
    const std::vector<std::string> c = checksumCells(checksums);
    return tr("frmPropAppli/Messages/checksums/text", "KWP CRC {0}, CRC-32 {1}, byte sum {2}", c[0], c[1],
              c[2]);
}

} // namespace zep
