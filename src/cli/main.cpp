#include "Arguments.h"
#include "CliInteraction.h"
#include "DbCommands.h"
#include "FileCommands.h"

#include "TerminalText.h"

#include "database/DatabaseError.h"
#include "memory/ZepError.h"
#include "text/Documents.h"

#include <QtGlobal>

#include <cstring>
#include <functional>
#include <iostream>
#include <map>

namespace {

const char* const usage =
    "usage: zep [--lang CODE] [--base DIR] [--answer yes|no|cancel] COMMAND [ARGS]\n"
    "\n"
    "Commands on flash files (S-record, H86, KWP):\n"
    "  info FILE...              kind, covered ranges, identification and ECU parameters\n"
    "  convert IN OUT [options]  convert between the formats\n"
    "  kwp2txt IN OUT            dump a KWP file as text, one frame a line\n"
    "\n"
    "Commands on databases (a file path or a connection string):\n"
    "  db SUBCOMMAND DB ...      create, tree, list, open, import, save, ...: 'zep db --help'\n"
    "\n"
    "Options:\n"
    "  --lang CODE     language of the messages (en, fr, ...)\n"
    "  --base DIR      folder holding lang/ZEPViewer.xml and the addressing file\n"
    "  --answer A      answer to the questions a command asks (default: each question's default)\n"
    "  --verbose       also the database engines' own words when something fails\n"
    "  --help          this text; 'zep COMMAND --help' tells about one command\n"
    "\n"
    "Exit codes: 0 success, 1 input refused (the message is on stderr), 2 usage error.\n";

struct Command {
    std::function<int(const std::vector<std::string>&, zep::Interaction&)> run;
    const char* usage;
};

/** the engines' and Qt's own texts, on stderr; without --verbose they are not shown */
void logDetail(const std::string& detail) {
    std::cerr << "detail: " << zep::printable(detail, true) << '\n';
}

void logQt(QtMsgType, const QMessageLogContext&, const QString& text) {
    logDetail(text.toStdString());
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

int main(int argc, char** argv) {
    using namespace zep;
    const std::map<std::string, Command> commands = {
        {"info", {cli::info, cli::infoUsage}},
        {"convert", {cli::convert, cli::convertUsage}},
        {"kwp2txt", {cli::kwp2txt, cli::kwp2txtUsage}},
        {"db", {cli::db, cli::dbUsage}},
    };

    std::string language = "en";
    std::optional<std::string> base;
    std::optional<Answer> answer;
    bool verbose = false;
    int i = 1;
    try {
        for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
            const std::string option = argv[i];
            const auto valueOf = [&]() -> std::string {
                if (i + 1 >= argc)
                    throw cli::UsageError(option + " needs a value");
                return argv[++i];
            };
            if (option == "--help") {
                std::cout << usage;
                return 0;
            } else if (option == "--lang") {
                language = valueOf();
            } else if (option == "--base") {
                base = valueOf();
            } else if (option == "--verbose") {
                verbose = true;
            } else if (option == "--answer") {
                const std::string text = valueOf();
                answer = parseAnswer(text);
                if (!answer)
                    throw cli::UsageError("--answer takes yes, no or cancel");
            } else {
                throw cli::UsageError("unknown option " + option);
            }
        }
        if (i >= argc)
            throw cli::UsageError("no command given");
        const auto command = commands.find(argv[i]);
        if (command == commands.end())
            throw cli::UsageError(std::string("unknown command ") + argv[i]);
        std::vector<std::string> args(argv + i + 1, argv + argc);
        if (std::find(args.begin(), args.end(), "--help") != args.end()) {
            std::cout << command->second.usage;
            return 0;
        }

        qInstallMessageHandler(verbose ? logQt : quiet);
        DatabaseError::setVerboseLog(verbose ? logDetail : nullptr);
        try {
            loadDocuments(base.value_or(defaultBaseLocation()), language);
        } catch (const ZepError& e) {
            if (base)
                std::cerr << "warning: " << e.description() << '\n';
        }
        CliInteraction ui(answer);
        try {
            return command->second.run(args, ui);
        } catch (const cli::UsageError& e) {
            std::cerr << "zep " << argv[i] << ": " << e.what() << "\n\n" << command->second.usage;
            return 2;
        } catch (const ZepError& e) {
            ui.critical(e.description());
            return 1;
        }
    } catch (const cli::UsageError& e) {
        std::cerr << "zep: " << e.what() << "\n\n" << usage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << '\n';
        return 1;
    }
}
