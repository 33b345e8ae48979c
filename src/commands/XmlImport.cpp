#include "XmlImport.h"

#include "flash/FileKind.h"
#include "flash/FlashFile.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"
#include "xml/InterchangeDocument.h"

#include <pugixml.hpp>

#include <unistd.h>

namespace zep {

bool CheckXmlFile(const std::string& path, Interaction& ui) {
    if (fileKind(path) == FileKind::Xml)
        return true;
    try {
        ::close(openRegularFile(path)); // a file that cannot be read says why
    } catch (const ZepError& e) {
        ui.critical(e.description());
        return false;
    }
    ui.warn(tr("frmDatabase/Messages/invalidFile/text", "{0} is not a valid {1} file", path, "XML"));
    return false;
}

XmlImportResult OpenXmlFile(Connection& db, const std::string& path, Interaction& ui,
                            const TreeSource* tree) {
    if (!CheckXmlFile(path, ui))
        return {};
    return ImportXmlFile(db, path, ui, tree);
}

LoadedXml LoadXmlFile(const std::string& path) {
    LoadedXml loaded;
    try {
        auto doc = std::make_shared<pugi::xml_document>();
        loadInterchangeFile(*doc, path);
        loaded.document = std::move(doc);
    } catch (const ZepError& e) {
        loaded.error = e.description();
    } catch (const std::bad_alloc&) {
        loaded.error =
            tr("frmDatabase/Messages/importXML/outOfMemory/text", "{0} is too large to be read", path);
    }
    return loaded;
}

XmlImportResult ImportLoadedXml(Connection& db, const LoadedXml& loaded, Interaction& ui,
                                const TreeSource* tree) {
    if (!loaded.document) {
        ui.critical(loaded.error);
        return {};
    }
    try {
        return ImportXmlDocument(db, *loaded.document, ui, tree);
    } catch (const ZepError& e) {
        ui.critical(e.description());
        return {};
    }
}

XmlImportResult ImportXmlFile(Connection& db, const std::string& path, Interaction& ui,
                              const TreeSource* tree) {
    return ImportLoadedXml(db, LoadXmlFile(path), ui, tree);
}

} // namespace zep
