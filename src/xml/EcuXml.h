#pragma once

#include "flash/ZEPEcu.h"

#include <pugixml.hpp>

#include <string>

namespace zep {

/**
 * CreateXMLElement: appends the Boot element of ecu, in the ECU namespace, as the last child of parent
 * (the root of an interchange document). It names the function functionName, carries the constant
 * K-line block, the CAN identifiers of the ECU's address from the addressing document, the supplier,
 * the delays, the download parameters and one erase element per range of the application and tuning
 * maps, with CR LF text nodes laying it out. An ECU with a map but no fill pattern fails with error 11
 * (division by zero); the partly built element then stays in the document.
 */
pugi::xml_node CreateXMLElement(const ZEPEcu& ecu, pugi::xml_node parent, const std::string& functionName);

/**
 * ReadFromXMLElement: sets the fields of ecu that a Boot element carries: Nom, Commentaire (from its first
 * XML comment, when it has one), Address, Code Fournisseur, SupplierHex (made 6 characters long),
 * the delays, WriteGranularity, UploadRL (128 without an upload element), FillPattern (the first
 * erase/segment) and IdentificationType. The maps are not touched. Names are matched as written,
 * without namespaces. Failures are error 10000; the fields read before the failure keep their new values.
 */
void ReadFromXMLElement(ZEPEcu& ecu, const pugi::xml_node& boot);

/** the first erase/segment of a Boot element, or an empty node */
pugi::xml_node erasingPattern(const pugi::xml_node& boot);

} // namespace zep
