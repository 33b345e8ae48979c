#pragma once

#include "database/ItemKey.h"

#include <pugixml.hpp>

#include <string>
#include <vector>

namespace zep {

class Connection;
class Interaction;
class TreeSource;

/** A tree node an import asks for: added under parentKey, unless the tree has a node of that key already. */
struct ImportedNode {
    std::string key;
    std::string parentKey;
    std::string text;
    std::string tag;
};

/** One Boot element that gave an ECU node. */
struct ImportedEcu {
    ItemKey ecu;
    /** the function node the ECU is under: "g" + address */
    std::string functionKey;
    /** whether the Hardwares row is new */
    bool added = false;
    /** the Applications and Calibrations rows the import added */
    std::vector<ItemKey> applications;
    std::vector<ItemKey> tunings;
};

/** What an XML import changed, so that the views can show it. */
struct XmlImportResult {
    /** the nodes to add, in order: a function before its ECUs, an ECU before its applications */
    std::vector<ImportedNode> nodes;
    /** the Boot elements that gave an ECU node, in document order */
    std::vector<ImportedEcu> ecus;
    /** how many Boot elements failed (each failure was shown) */
    int failed = 0;

    bool imported() const { return !ecus.empty(); }
};

/**
 * The XML import of an interchange document into db: each Boot element directly under the document
 * element in turn, with its own questions and messages through ui. An ECU is found by name or added; its
 * memory map is rebuilt from the erase elements; applications and tunings are added with their images
 * and identification stamps, the existing ones left alone.
 *
 * Each Boot is written in one transaction: a Boot that fails leaves none of its rows, its failure is
 * shown through ui as a critical message, and the next Boot is imported. The questions come before
 * anything of their Boot is written; the messages about existing applications and tunings are shown
 * when their Boot is done.
 *
 * tree is the tree the user sees, when there is one: its function nodes decide which functions are new.
 * Without one, the functions are those the tree would show for db.
 *
 * A document with no Boot element under its document element is not an interchange document: error
 * 10000, nothing written.
 */
XmlImportResult ImportXmlDocument(Connection& db, const pugi::xml_document& doc, Interaction& ui,
                                  const TreeSource* tree = nullptr);

} // namespace zep
