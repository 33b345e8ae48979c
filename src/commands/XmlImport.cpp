#include "XmlImport.h"

#include "flash/FileKind.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"
#include "xml/InterchangeDocument.h"

#include <pugixml.hpp>

namespace zep {

XmlImportResult OpenXmlFile(Connection& db, const std::string& path, Interaction& ui,
                            const TreeSource* tree) {
    if (fileKind(path) != FileKind::Xml) {
        ui.warn(tr("frmDatabase/Messages/invalidFile/text", "{0} is not a valid {1} file", path, "XML"));
        return {};
    }
    return ImportXmlFile(db, path, ui, tree);
}

XmlImportResult ImportXmlFile(Connection& db, const std::string& path, Interaction& ui,
                              const TreeSource* tree) {
    try {
        pugi::xml_document doc;
        loadInterchangeFile(doc, path);
        return ImportXmlDocument(db, doc, ui, tree);
    } catch (const ZepError& e) {
        ui.critical(e.description());
        return {};
    }
}

} // namespace zep
