#pragma once

#include "flash/EcuApplication.h"

#include <QtGlobal>
#include <pugixml.hpp>

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zep {

class Interaction;

class Connection;

/** How the bytes of segment elements are written. */
enum class SegmentEncoding {
    /** dt:dt="bin.base64", the text CR LF, base64, CR LF */
    Base64,
    /** no data type, the text two upper-case hexadecimal digits a byte */
    BinHex,
};

/**
 * An interchange document being built for export: the prologue and root of CreateInterchangeDocument,
 * and the images its segments show. The text of a segment is encoded while the document is written, straight
 * from the image's bytes, so that a large image is never held as text: the DOM holds an empty text node
 * in its place. Write the document with write() or save(), never with pugixml alone.
 */
class ExportDocument {
public:
    ExportDocument();
    ExportDocument(const ExportDocument&) = delete;
    ExportDocument& operator=(const ExportDocument&) = delete;

    /** the root element "xml" */
    pugi::xml_node root() const { return root_; }

    /** where the loads of the images the export needs report how far they are; none by default */
    void setProgress(Interaction* ui) { progress_ = ui; }
    Interaction* progress() const { return progress_; }

    /** takes an image that segments will show; it stays, unchanged, as long as the document */
    const MemImage& keep(MemImage image);

    /**
     * segment export: CR LF and a segment element with the bytes at first, appended to parent. The bytes
     * must stay valid as long as the document: bytes of a kept image.
     */
    void Segment(pugi::xml_node parent, std::uint32_t first, std::span<const std::uint8_t> bytes,
                 SegmentEncoding encoding);
    /**
     * One segment per part of image inside map, as ZEPEcu::IntersectMap cuts it (each range of the map
     * that the image covers, however many blocks hold it). image must be kept by the document.
     */
    void Segments(pugi::xml_node parent, const MemImage& image, const MemMap& map, SegmentEncoding encoding);

    /**
     * The document's bytes: each node under the document as written, without added whitespace, followed
     * by CR LF; CR LF inside texts stays as it is.
     */
    void write(pugi::xml_writer& writer) const;
    /**
     * Saves the document to path through a temporary file in the same folder, so that a failure leaves the
     * old file (or none). Raises ZepError 1000 with the system's reason.
     */
    void save(const std::string& path) const;
    std::string text() const;

private:
    Interaction* progress_ = nullptr;
    struct Deferred {
        std::span<const std::uint8_t> bytes;
        SegmentEncoding encoding;
    };
    void writeNode(const pugi::xml_node& node, pugi::xml_writer& writer) const;

    pugi::xml_document doc_;
    pugi::xml_node root_;
    std::deque<MemImage> images_;
    /** parts of images that lie in several pieces of memory, joined */
    std::deque<MemBlock> joined_;
    /** the empty text nodes of segments, and what they stand for */
    std::unordered_map<const void*, Deferred> deferred_;
    /** the elements that hold such a node somewhere below them */
    std::unordered_set<const void*> holders_;
};

/** The pieces of an interchange document that hold images. */
namespace xmlexport {

/** an application element named name, appended to Boot with no CR LF before it */
pugi::xml_node Application(pugi::xml_node boot, const std::string& name);
/**
 * The application code: one segment per part of the image inside the ECU's global write ranges less
 * its tuning area. image (the application's, kept by doc) goes with ecu.
 */
void ApplicationCode(ExportDocument& doc, pugi::xml_node application, const ZEPEcu& ecu,
                     const MemImage& image, SegmentEncoding encoding);
/**
 * tuning data export: CR LF and a tuningdata element named name ("default tuning" when empty) with one
 * segment per part of image (kept by doc) inside the tuning write ranges of item's ECU, then the
 * programming stamp of item's identification.
 */
void TuningData(ExportDocument& doc, pugi::xml_node application, const EcuApplication& item,
                const MemImage& image, const std::string& name, SegmentEncoding encoding);

} // namespace xmlexport

/**
 * XML exports of the items of a database. Each fills doc, a new document, with the Boot of the item's ECU
 * in the function functionName (the function's text in the tree). Failures raise ZepError
 * (DatabaseError for the engine's own, 1000 for an item that does not exist); doc is then not to be
 * written.
 */
namespace XmlExport {

/** every application of the ECU sorted by name, each with its code, its default tuning data and all its
 * tunings sorted by name */
void Ecu(Connection& db, qint64 ecuId, const std::string& functionName, SegmentEncoding encoding,
         ExportDocument& doc);
/** the application with its code and default tuning data, and all its tunings sorted by name when withTunings
 */
void Application(Connection& db, qint64 appId, const std::string& functionName, SegmentEncoding encoding,
                 bool withTunings, ExportDocument& doc);
/** the tuning as the one tuningdata of its application's element, after the application's code unless
 * tuningOnly */
void Tuning(Connection& db, qint64 calibId, const std::string& functionName, SegmentEncoding encoding,
            bool tuningOnly, ExportDocument& doc);
/** the application's tuning area alone, as its one tuningdata "default tuning" */
void DefaultTuning(Connection& db, qint64 appId, const std::string& functionName, SegmentEncoding encoding,
                   ExportDocument& doc);

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
