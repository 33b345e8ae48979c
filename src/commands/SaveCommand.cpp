#include "SaveCommand.h"

#include "database/Connection.h"
#include "database/ImageStore.h"
#include "database/ItemKey.h"
#include "flash/FileKind.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <cctype>
#include <string_view>

namespace zep {

SaveFormat SaveFormatOf(int filterIndex, const std::string& path) {
    if (filterIndex >= int(SaveFormat::SRecord) && filterIndex < int(SaveFormat::None))
        return SaveFormat(filterIndex);
    switch (kindOfExtension(path)) {
    case FileKind::SRecord:
        return SaveFormat::SRecord;
    case FileKind::H86:
        return SaveFormat::H86;
    case FileKind::Kwp:
        return SaveFormat::Kwp;
    case FileKind::Xml:
        return SaveFormat::Xml;
    case FileKind::None:
        break;
    }
    return SaveFormat::None;
}

bool SaveImage(Connection& db, const std::string& key, SaveFormat format, const std::string& path,
               Interaction& ui, bool defaultTuning) {
    const char kind = keyKind(key);
    if ((kind != ItemKey::Application && kind != ItemKey::Tuning) || format == SaveFormat::None)
        return true;
    try {
        const bool tuning = kind == ItemKey::Tuning || defaultTuning;
        EcuApplication app = ImageStore::Download(db, key, tuning, nullptr, &ui);
        app.Ecu().Intersect(app.value(), tuning);
        switch (format) {
        case SaveFormat::SRecord:
            app.ExportToSFile(path);
            break;
        case SaveFormat::Kwp:
            app.ExportToKWPFile(path);
            break;
        case SaveFormat::H86:
            app.ExportToH86File(path);
            break;
        case SaveFormat::Xml:
            throw ZepError(errors::File, tr("frmDatabase/Messages/exportXML/notHere/text",
                                            "XML files are written by the XML export."));
        case SaveFormat::None:
            break;
        }
    } catch (const ZepError& e) {
        ui.critical(e.description());
        return false;
    }
    return true;
}

std::string SuggestedFileName(const std::string& itemText) {
    static constexpr std::string_view allowed = "abcdefghijklmnopqrstuvwxyz0123456789^&'@{}[],$=!-#()%.+~_";
    std::string out;
    for (std::size_t i = 0; i < itemText.size(); ++i) {
        const auto c = static_cast<unsigned char>(itemText[i]);
        if (c >= 0x80) {
            // one "_" for each character that is not ASCII, however many bytes it takes
            if ((c & 0xC0) != 0x80)
                out.push_back('_');
            continue;
        }
        out.push_back(allowed.find(static_cast<char>(std::tolower(c))) != std::string_view::npos
                          ? static_cast<char>(c)
                          : '_');
    }
    return out;
}

} // namespace zep
