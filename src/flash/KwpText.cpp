#include "KwpText.h"

#include "FileKind.h"
#include "FlashFile.h"
#include "KwpFile.h"

#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

namespace zep {

bool ConvertKwpToText(const std::string& kwpPath, const std::string& textPath, Interaction& ui) {
    if (fileKind(kwpPath) != FileKind::Kwp) {
        ui.warn(tr("common/notAValidFile/text", "File {0}{crlf}is not a valid {1} file.", kwpPath, "KWP"));
        return false;
    }
    try {
        const std::string data = readWholeFile(kwpPath);
        const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        writeWholeFile(textPath, [&bytes](OutputBuffer& out) { out.append(kwp::toText(bytes)); });
        return kwp::complete(bytes);
    } catch (const ZepError&) {
        return false;
    }
}

} // namespace zep
