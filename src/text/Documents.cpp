#include "Documents.h"

#include "Addressing.h"
#include "TextCatalog.h"

#include <filesystem>
#include <system_error>

namespace zep {

void loadDocuments(const std::string& baseLocation, const std::string& language) {
    TextCatalog& texts = TextCatalog::instance();
    texts.setLanguage(language);
    Addressing::instance().unload();
    texts.load(baseLocation + "/lang/ZEPViewer.xml");
    const std::string file = texts.config("Parameters/valdoreAddressingFile", "VALDOREAddressing.xml");
    Addressing::instance().load(baseLocation + "/" + file);
}

std::string defaultBaseLocation() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path installed = exe.parent_path().parent_path() / "share" / "zepviewer";
        if (fs::exists(installed / "lang" / "ZEPViewer.xml", ec))
            return installed.string();
    }
#ifdef ZEP_SOURCE_SHARE
    return ZEP_SOURCE_SHARE;
#else
    return "share";
#endif
}

} // namespace zep
