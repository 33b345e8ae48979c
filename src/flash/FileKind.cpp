#include "FileKind.h"

#include <fstream>

namespace zep {

FileKind fileKindOf(std::string_view head, std::size_t fileSize) {
    if (fileSize < 6 || head.size() < 5)
        return FileKind::None;
    if (head[0] == 'S')
        return FileKind::SRecord;
    if (head[0] == ':')
        return FileKind::H86;
    if (head.substr(0, 5) == "<?xml")
        return FileKind::Xml;
    if (static_cast<unsigned char>(head[0]) == 0xA1 && head[2] == '\0')
        return FileKind::Kwp;
    return FileKind::None;
}

FileKind fileKind(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return FileKind::None;
    const std::streamoff size = in.tellg();
    if (size < 6)
        return FileKind::None;
    char head[5];
    in.seekg(0);
    if (!in.read(head, sizeof head))
        return FileKind::None;
    return fileKindOf({head, sizeof head}, static_cast<std::size_t>(size));
}

std::string kindName(FileKind kind) {
    switch (kind) {
    case FileKind::SRecord:
        return "S-record";
    case FileKind::H86:
        return "H86";
    case FileKind::Xml:
        return "XML";
    case FileKind::Kwp:
        return "KWP";
    case FileKind::None:
        break;
    }
    return {};
}

} // namespace zep
