#pragma once

#include <string>

namespace zep {

class Connection;
class Interaction;

/** The formats an application or tuning is saved in, in the order of the save dialog's filters. */
enum class SaveFormat { SRecord = 1, Kwp = 2, Xml = 3, H86 = 4, None = 5 };

/**
 * The format of the save dialog's filter filterIndex (from 1); with the last filter (all files), or none,
 * the format the extension of path tells, None when it tells none.
 */
SaveFormat SaveFormatOf(int filterIndex, const std::string& path);

/**
 * Saves the application ("a" key) or tuning ("c" key) to path, clipped to the ECU's write map: a
 * tuning to its tuning write ranges, an application to its global ones. With defaultTuning the
 * application is saved as its own default tuning: only its tuning area, marked as a tuning.
 * Refusals and failures are shown through ui as critical messages and nothing is written; false then.
 * SaveFormat::None writes nothing and returns true. XML is handled by the XML export.
 */
bool SaveImage(Connection& db, const std::string& key, SaveFormat format, const std::string& path,
               Interaction& ui, bool defaultTuning = false);

/** the item text with every character outside [a-z0-9^&'@{}[],$=!-#()%.+~_] (any case) replaced by "_" */
std::string SuggestedFileName(const std::string& itemText);

} // namespace zep
