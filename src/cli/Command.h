#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace zep {
class Interaction;
class MemImage;
struct ItemKey;
} // namespace zep

namespace zep::cli {

/**
 * One command of zep: its name ("info", "db tree"), the line of usage shown with a usage error, the
 * help that 'zep NAME --help' adds, and the work. The work returns the exit code; refusals throw
 * ZepError (exit 1), usage errors UsageError (exit 2).
 */
struct Command {
    const char* name;
    const char* usage;
    const char* help;
    std::function<int(const std::vector<std::string>& args, Interaction& ui)> run;
};

/** info, convert and kwp2txt */
const std::vector<Command>& fileCommands();
/** the db subcommands */
const std::vector<Command>& dbCommands();
/** an image's ranges, its total and, when asked, the checksums of each range and of the whole */
void printRanges(const MemImage& image, bool checksums);
/** db find and db new-ecu */
Command findCommand();
Command newEcuCommand();

/** a key of one of the kinds; a function's address may be written in hexadecimal too (g0x70, g70H) */
ItemKey keyArgument(const std::string& text, std::initializer_list<char> kinds);

/** what 'zep db --help' says after the subcommands' lines: databases and keys */
extern const char* const dbHelp;

} // namespace zep::cli
