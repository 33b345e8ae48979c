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
        const FileBytes file(kwpPath);
        const auto bytes = file.bytes();
        writeWholeFile(textPath, [&bytes](OutputBuffer& out) { out.append(kwp::toText(bytes)); });
        return kwp::complete(bytes);
    } catch (const ZepError&) {
        return false;
    }
}

} // namespace zep
