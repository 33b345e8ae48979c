#pragma once

#include <optional>
#include <string>

namespace zep {

/** What every window of the process shares: where the documents came from and the user's picture. */
struct Session {
    /** the base location of the language and addressing documents; empty until loaded */
    std::string baseUrl;
    /** the language file loaded, as the information report names it */
    std::string languageFile;
    /**
     * The user configuration document is read once, from the first path asked for: its picture path
     * serves every later window.
     */
    std::optional<std::string> userBackgroundPath;
    std::string userConfigurationRead;

    static Session& instance();
};

/** the program's version as "major.minor.revision" */
std::string programVersion();

/**
 * The user configuration file beside a local database: the data source up to its last separator
 * (either slash) followed by "ZEPViewer.xml"; empty when the data source names no folder or the
 * database is central.
 */
std::string userConfigurationPath(const std::string& dataSource, bool central);

} // namespace zep
