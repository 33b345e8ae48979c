#pragma once

#include "flash/EcuApplication.h"

#include <QtGlobal>
#include <pugixml.hpp>

#include <cstdint>
#include <span>
#include <string>

namespace zep {

class Connection;

/** How the bytes of segment elements are written. */
enum class SegmentEncoding {
    /** dt:dt="bin.base64", the text CR LF, base64, CR LF */
    Base64,
    /** no data type, the text two upper-case hexadecimal digits a byte */
    BinHex,
};

/** The pieces of an interchange document that hold images. */
namespace xmlexport {

/** segment export: CR LF and a segment element with the bytes at first, appended to parent */
void Segment(pugi::xml_node parent, std::uint32_t first, std::span<const std::uint8_t> bytes,
             SegmentEncoding encoding);
/** an application element named name, appended to Boot with no CR LF before it */
pugi::xml_node Application(pugi::xml_node boot, const std::string& name);
/**
 * The application code: one segment per block of the image inside the ECU's global write ranges less
 * its tuning area.
 */
void ApplicationCode(pugi::xml_node application, const EcuApplication& image, SegmentEncoding encoding);
/**
 * tuning data export: CR LF and a tuningdata element named name ("default tuning" when empty) with one
 * segment per block of the image inside the ECU's tuning write ranges, then the programming stamp of
 * the image's identification.
 */
void TuningData(pugi::xml_node application, const EcuApplication& image, const std::string& name,
                SegmentEncoding encoding);

} // namespace xmlexport

/**
 * XML exports of the items of a database. Each makes a new interchange document in doc whose Boot is the
 * item's ECU in the function functionName (the function's text in the tree). Failures raise ZepError
 * (DatabaseError for the engine's own, 1000 for an item that does not exist); doc is then unusable.
 */
namespace XmlExport {

/** every application of the ECU sorted by name, each with its code, its default tuning data and all its
 * tunings sorted by name */
void Ecu(Connection& db, qint64 ecuId, const std::string& functionName, SegmentEncoding encoding,
         pugi::xml_document& doc);
/** the application with its code and default tuning data, and all its tunings sorted by name when withTunings
 */
void Application(Connection& db, qint64 appId, const std::string& functionName, SegmentEncoding encoding,
                 bool withTunings, pugi::xml_document& doc);
/** the tuning as the one tuningdata of its application's element, after the application's code unless
 * tuningOnly */
void Tuning(Connection& db, qint64 calibId, const std::string& functionName, SegmentEncoding encoding,
            bool tuningOnly, pugi::xml_document& doc);
/** the application's tuning area alone, as its one tuningdata "default tuning" */
void DefaultTuning(Connection& db, qint64 appId, const std::string& functionName, SegmentEncoding encoding,
                   pugi::xml_document& doc);

/** how many tunings the application has in the database */
int TuningCount(Connection& db, qint64 appId);
/** the ECU an application belongs to */
qint64 EcuOfApplication(Connection& db, qint64 appId);
/** the application a tuning belongs to */
qint64 ApplicationOfTuning(Connection& db, qint64 calibId);
/**
 * The text the tree gives the function of an address: its name in the addressing document, else its
 * name in the database (empty when it has no Fonctions row).
 */
std::string FunctionText(Connection& db, int address);

} // namespace XmlExport
} // namespace zep
