#include "Arguments.h"
#include "CliInteraction.h"
#include "Command.h"
#include "TerminalText.h"

#include "memory/ZepError.h"
#include "text/Documents.h"
#include "text/TextCatalog.h"

// Built twice: zep-db holds every command; zep holds the file commands alone, so that converting a
// file loads no database engine (Qt, libpq and what they bring took most of its start-up), and hands
// the database commands and the general help over to zep-db, installed beside it.
#ifdef ZEP_FILE_COMMANDS_ONLY
#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>
#else
#include "database/DatabaseError.h"

#include <QtGlobal>
#endif

#include <algorithm>
#include <iostream>

namespace {

using zep::cli::Command;
using zep::cli::UsageError;

const char* const usage =
    "usage: zep [--lang CODE] [--base DIR] [--answer yes|no|cancel] [--verbose] COMMAND [ARGS]\n";

const char* const options =
    "\n"
    "Options (anywhere on the line; '--' ends them):\n"
    "  --lang CODE     language of the messages (en, fr, ...)\n"
    "  --base DIR      folder holding lang/ZEPViewer.xml and the addressing file\n"
    "  --answer A      answer to the questions a command asks (default: each question's default)\n"
    "  --verbose       also the database engines' own words when something fails\n"
    "  --version       the version of zep\n"
    "  --help          this text; 'zep COMMAND --help' tells about one command\n"
    "\n"
    "Exit codes: 0 success, 1 input refused (the message is on stderr), 2 usage error.\n";

/** the options every command takes, wherever they stand */
struct GlobalOptions {
    std::string language = "en";
    std::optional<std::string> base;
    std::optional<zep::Answer> answer;
    bool verbose = false;
    bool help = false;
    bool version = false;

    /** takes the global options out of args; the rest, in order */
    std::vector<std::string> take(const std::vector<std::string>& args) {
        std::vector<std::string> rest;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            const auto valueOf = [&]() -> std::string {
                if (i + 1 >= args.size())
                    throw UsageError(a + " needs a value");
                return args[++i];
            };
            if (a == "--") {
                rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
                break;
            }
            if (a == "--lang")
                language = valueOf();
            else if (a == "--base")
                base = valueOf();
            else if (a == "--answer") {
                answer = zep::parseAnswer(valueOf());
                if (!answer)
                    throw UsageError("--answer takes yes, no or cancel");
            } else if (a == "--verbose")
                verbose = true;
            else if (a == "--help" || a == "-h")
                help = true;
            else if (a == "--version")
                version = true;
            else
                rest.push_back(a);
        }
        return rest;
    }
};

#ifdef ZEP_FILE_COMMANDS_ONLY
/** runs zep-db, from the folder of this program, on the same arguments; returns only when it cannot */
int runDatabaseProgram(char** argv, const std::string& base, const std::string& language) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string program = "zep-db";
    if (n > 0) {
        const std::string path(self, static_cast<std::size_t>(n));
        program = path.substr(0, path.rfind('/') + 1) + "zep-db";
    }
    argv[0] = program.data();
    ::execv(program.c_str(), argv);
    const int error = errno;
    try {
        zep::loadDocuments(base, language);
    } catch (const zep::ZepError&) {
    }
    std::cerr << "zep: "
              << zep::tr("zep/Messages/noDatabaseProgram/text",
                         "The database commands are in {0}, which cannot be started ({1}). Install zep "
                         "again, with zep-db beside it.",
                         program, std::strerror(error))
              << '\n';
    return 1;
}
#else
/** the engines' and Qt's own texts, on stderr; without --verbose they are not shown */
void logDetail(const std::string& detail) {
    std::cerr << "detail: " << zep::printable(detail, true) << '\n';
}

void logQt(QtMsgType, const QMessageLogContext&, const QString& text) {
    logDetail(text.toStdString());
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void printCommands(const std::vector<Command>& commands) {
    for (const Command& c : commands)
        std::cout << "  " << c.usage << '\n';
}

void printGeneralHelp() {
    std::cout << usage << "\nCommands on flash files (S-record, H86, KWP):\n";
    printCommands(zep::cli::fileCommands());
    std::cout << "\nCommands on databases (a file path or a connection string; 'zep db --help'):\n";
    printCommands(zep::cli::dbCommands());
    std::cout << options;
}
#endif

} // namespace

int main(int argc, char** argv) {
    using namespace zep;
    GlobalOptions global;
    std::vector<std::string> rest;
    try {
        rest = global.take({argv + 1, argv + argc});
    } catch (const UsageError& e) {
        std::cerr << "zep: " << e.what() << '\n' << usage;
        return 2;
    }
    if (global.version) {
        std::cout << "zep " << ZEP_VERSION << '\n';
        return 0;
    }

    // "db" and its subcommand name one command together.
    const bool db = !rest.empty() && rest[0] == "db";
#ifdef ZEP_FILE_COMMANDS_ONLY
    if (db || (global.help && rest.empty()))
        return runDatabaseProgram(argv, global.base.value_or(defaultBaseLocation()), global.language);
    const std::vector<Command>& table = cli::fileCommands();
#else
    const std::vector<Command>& table = db ? cli::dbCommands() : cli::fileCommands();
#endif
    const std::size_t named = db ? 2 : 1;
    const std::string name = db && rest.size() > 1 ? "db " + rest[1] : rest.empty() ? "" : rest[0];
    const auto command =
        std::find_if(table.begin(), table.end(), [&](const Command& c) { return c.name == name; });
    if (command == table.end()) {
        const bool noName = rest.empty() || (db && rest.size() == 1);
#ifndef ZEP_FILE_COMMANDS_ONLY
        if (global.help && noName) {
            if (db) {
                std::cout << "usage: zep db SUBCOMMAND DB ...\n";
                printCommands(cli::dbCommands());
                std::cout << cli::dbHelp;
            } else {
                printGeneralHelp();
            }
            return 0;
        }
#endif
        if (db)
            std::cerr << "zep: " << (noName ? "no subcommand given" : "unknown subcommand " + printable(name))
                      << "\nusage: zep db SUBCOMMAND DB ...\n'zep db --help' lists the subcommands.\n";
        else
            std::cerr << "zep: "
                      << (noName                    ? "no command given"
                          : name.rfind('-', 0) == 0 ? "unknown option " + printable(name)
                                                    : "unknown command " + printable(name))
                      << '\n'
                      << usage << "'zep --help' lists the commands.\n";
        return 2;
    }
    if (global.help) {
        std::cout << "usage: " << command->usage << '\n' << command->help;
        return 0;
    }

#ifndef ZEP_FILE_COMMANDS_ONLY
    qInstallMessageHandler(global.verbose ? logQt : quiet);
    DatabaseError::setVerboseLog(global.verbose ? logDetail : nullptr);
#endif
    try {
        loadDocuments(global.base.value_or(defaultBaseLocation()), global.language);
    } catch (const ZepError& e) {
        if (global.base)
            std::cerr << "warning: " << e.description() << '\n';
    }
    CliInteraction ui(global.answer);
    try {
        const int code = command->run(
            {rest.begin() + static_cast<std::ptrdiff_t>(std::min(named, rest.size())), rest.end()}, ui);
        if (code == 1 && !ui.spoke())
            ui.critical(
                tr("zep/Messages/notDone/text", "zep {0} did not complete; nothing was changed.", name));
        return code;
    } catch (const UsageError& e) {
        std::cerr << "zep " << name << ": " << e.what() << "\nusage: " << command->usage << "\n'zep " << name
                  << " --help' tells more.\n";
        return 2;
    } catch (const ZepError& e) {
        ui.critical(e.description());
        return 1;
    } catch (const std::exception& e) {
        ui.critical(e.what());
        return 1;
    }
}
