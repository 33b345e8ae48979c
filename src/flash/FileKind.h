#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zep {

enum class FileKind { None, SRecord, H86, Xml, Kwp };

/** The kind of a file by its first bytes; a missing file or one of fewer than 6 bytes is of no kind. */
FileKind fileKind(const std::string& path);
/** the same test on bytes already read */
FileKind fileKindOf(std::string_view firstBytes, std::size_t fileSize);

/**
 * The kind a file name's extension tells, in any case: .s .s19 .s28 .s37 .srec .mot .ulp S-record,
 * .h86 .hex .ihex .ihx H86 (Intel hex), .kwp KWP, .xml XML; None for any other.
 */
FileKind kindOfExtension(const std::string& path);

/** the extensions that tell kind, lower case with their dot, in the order kindOfExtension lists them */
std::vector<std::string> extensionsOf(FileKind kind);

/** "S-record", "H86", "XML", "KWP" or "" */
std::string kindName(FileKind kind);

} // namespace zep
