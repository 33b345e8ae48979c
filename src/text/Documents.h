#pragma once

#include <string>

namespace zep {

/**
 * Loads the language and configuration document (BASE/lang/ZEPViewer.xml) and then the addressing
 * document named by its configuration, for a language ("" is "en"). An unreadable language file
 * raises error 1 and loads neither document; an unreadable addressing file leaves it empty.
 */
void loadDocuments(const std::string& baseLocation, const std::string& language);

/** the installed data folder beside the program's prefix; a program of the build tree: the source's share/ */
std::string defaultBaseLocation();

} // namespace zep
