#include "FileKind.h"

#include "FlashFile.h"
#include "memory/ZepError.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unistd.h>

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
    int fd = -1;
    std::uint64_t size = 0;
    try {
        fd = openRegularFile(path, &size);
    } catch (const ZepError&) {
        return FileKind::None; // the reader that is asked says why
    }
    char head[5];
    const ssize_t n = size < 6 ? 0 : ::read(fd, head, sizeof head);
    ::close(fd);
    return n == sizeof head ? fileKindOf({head, sizeof head}, static_cast<std::size_t>(size))
                            : FileKind::None;
}

namespace {
constexpr std::pair<const char*, FileKind> extensionKinds[] = {
    {".s", FileKind::SRecord},   {".s19", FileKind::SRecord},  {".s28", FileKind::SRecord},
    {".s37", FileKind::SRecord}, {".srec", FileKind::SRecord}, {".mot", FileKind::SRecord},
    {".ulp", FileKind::SRecord}, {".h86", FileKind::H86},      {".hex", FileKind::H86},
    {".ihex", FileKind::H86},    {".ihx", FileKind::H86},      {".kwp", FileKind::Kwp},
    {".xml", FileKind::Xml},
};
} // namespace

FileKind kindOfExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const auto& [extension, kind] : extensionKinds)
        if (ext == extension)
            return kind;
    return FileKind::None;
}

std::vector<std::string> extensionsOf(FileKind kind) {
    std::vector<std::string> out;
    for (const auto& [extension, k] : extensionKinds)
        if (k == kind)
            out.emplace_back(extension);
    return out;
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
