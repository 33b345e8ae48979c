#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace zep {

/** The namespaces of the interchange files. */
namespace xmlns {
inline constexpr const char* Ecu = "http://diagnostics.zep.example/2002/ZepECU";
inline constexpr const char* Ident = "http://diagnostics.zep.example/2002/ValdoreIdent";
inline constexpr const char* DataTypes = "urn:schemas-microsoft-com:datatypes";
} // namespace xmlns

/** the name the default tuning data of an application is written under */
inline constexpr const char* DefaultTuningDataName = "default tuning";

/** the style sheet the documents name when the configuration names none */
inline constexpr const char* DefaultStyleSheetUrl =
    "http://diagnostics.zep.example/OMT3300/ZEPECUPreview.xsl";

/**
 * A new interchange document: the XML declaration, the style-sheet instruction (the URI of the
 * configuration's "Parameters/xmlStyleSheetUrl", as it stands) and the root element "xml", which binds
 * the prefix "dt" to the data-type namespace. Returns the root.
 */
pugi::xml_node CreateInterchangeDocument(pugi::xml_document& doc);

/**
 * Appends an element of namespace ns (unprefixed). pugixml knows no namespaces, so the element
 * declares ns as its default namespace when the one in scope at parent differs.
 */
pugi::xml_node appendElement(pugi::xml_node parent, const char* name, std::string_view ns);
/** appends the CR LF text node that lays the files out */
void appendCrLf(pugi::xml_node parent);

/** the parse options of interchange files: CR LF kept in texts, prologue and comments kept */
inline constexpr unsigned interchangeParseOptions = (pugi::parse_default & ~pugi::parse_eol) |
                                                    pugi::parse_declaration | pugi::parse_pi |
                                                    pugi::parse_comments;

/**
 * Loads an interchange file. A document that does not parse raises ZepError 10000 whose description
 * is the parser's reason with the line and column, CR LF, and the text of the faulty line (cut around
 * the fault when the line is long); a file that cannot be read raises ZepError 1000.
 */
void loadInterchangeFile(pugi::xml_document& doc, const std::string& path);
/** the same for a document in memory (the text is copied) */
void loadInterchangeText(pugi::xml_document& doc, std::string_view text);

} // namespace zep
