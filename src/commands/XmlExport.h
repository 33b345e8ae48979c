#pragma once

#include "xml/ExportDocument.h"

#include <optional>
#include <string>

namespace zep {

class Connection;
class Interaction;

/** Answers to the XML export's questions given up front (command-line flags); the others are asked. */
struct XmlExportChoices {
    /** "Save binary data in binHex encoding format ?": BinHex is Yes */
    std::optional<SegmentEncoding> encoding = std::nullopt;
    /** "Export tuning only ?", asked for a tuning */
    std::optional<bool> tuningOnly = std::nullopt;
    /** "This application has {0} tunings. Export only default tuning ?", asked for an application with
     * tunings */
    std::optional<bool> onlyDefaultTuning = std::nullopt;
};

/**
 * The Save command for XML files: saves the ECU ("h" key, with all its applications and tunings), the
 * application ("a") or the tuning ("c") as an interchange file at path. With defaultTuning an
 * application key saves the application's default tuning alone (its tuning area).
 *
 * functionName is the text of the item's function in the tree; without it the function is named as the
 * tree would name it. The questions go through ui: the encoding first, then "Export tuning only ?" for
 * a tuning or, for an application that has tunings, whether to export only its default tuning.
 *
 * A failure is shown through ui as a critical message and leaves no file (an existing one is kept);
 * false then. A key of another kind writes nothing and returns true.
 */
bool SaveXml(Connection& db, const std::string& key, const std::string& path, Interaction& ui,
             const XmlExportChoices& choices = {}, const std::optional<std::string>& functionName = {},
             bool defaultTuning = false);

} // namespace zep
