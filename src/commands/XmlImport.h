#pragma once

#include "xml/ImportDocument.h"

#include <memory>
#include <string>

namespace pugi {
class xml_document;
}

namespace zep {

class Connection;
class Interaction;
class TreeSource;

/**
 * The Open command for XML files (no ECU selected): a file that does not begin with "<?xml" is refused
 * with "{0} is not a valid XML file"; any other is imported as ImportXmlFile does.
 */
XmlImportResult OpenXmlFile(Connection& db, const std::string& path, Interaction& ui,
                            const TreeSource* tree = nullptr);

/**
 * The import of an interchange file (dropped on the tree, or opened): the file is parsed, then each
 * of its Boot elements is imported (ImportXmlDocument). A file that cannot be read, that does not
 * parse (the parser's reason with the faulty line) or that is not an interchange file is shown as a
 * critical message, and nothing is written. tree is the tree the user sees, if any.
 */
XmlImportResult ImportXmlFile(Connection& db, const std::string& path, Interaction& ui,
                              const TreeSource* tree = nullptr);

/**
 * The two halves of ImportXmlFile, so that the file can be read and parsed away from the window's
 * thread: LoadXmlFile touches no database and may run on any thread; ImportLoadedXml shows the load's
 * failure, or imports the document.
 */
struct LoadedXml {
    std::shared_ptr<pugi::xml_document> document;
    /** the description of the failure; empty when the document was read */
    std::string error;
};
LoadedXml LoadXmlFile(const std::string& path);
XmlImportResult ImportLoadedXml(Connection& db, const LoadedXml& loaded, Interaction& ui,
                                const TreeSource* tree = nullptr);

/** whether the Open command takes the file as XML; else it says so through ui */
bool CheckXmlFile(const std::string& path, Interaction& ui);

} // namespace zep
