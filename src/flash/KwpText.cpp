#include "KwpText.h"

#include "FileKind.h"
#include "FlashFile.h"
#include "KwpFile.h"

#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

namespace zep {

bool ConvertKwpToText(const std::string& kwpPath, const std::string& textPath, Interaction& ui,
                      std::string* failure) {
    if (fileKind(kwpPath) != FileKind::Kwp) {
        ui.warn(tr("common/notAValidFile/text", "File {0}{crlf}is not a valid {1} file.", kwpPath, "KWP"));
        return false;
    }
    try {
        const FileBytes file(kwpPath);
        const auto bytes = file.bytes();
        writeWholeFile(textPath, [&bytes](OutputBuffer& out) { out.append(kwp::toText(bytes)); });
        if (kwp::complete(bytes))
            return true;
        if (failure)
            *failure =
                tr("common/kwpCutShort/text",
                   "The last frame of {0} is cut short: its line holds the bytes that are there.", kwpPath);
    } catch (const ZepError& e) {
        if (failure)
            *failure = e.description();
    }
    return false;
}

} // namespace zep
