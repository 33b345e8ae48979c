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
    if (ec)
        return "share";
    const fs::path installed = (exe.parent_path() / ZEP_DATA_FROM_BIN).lexically_normal();
    // Only a program of the build tree reads the source tree: an installed one that lost its data
    // reads its own, never files of a tree that may have changed or gone since.
    const std::string build = fs::weakly_canonical(ZEP_BUILD_TREE, ec).string() + "/";
    if (exe.string().rfind(build, 0) == 0 && !fs::exists(installed / "lang" / "ZEPViewer.xml", ec))
        return ZEP_SOURCE_SHARE;
    return installed.string();
}

} // namespace zep
