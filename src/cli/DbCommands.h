#pragma once

#include <string>
#include <vector>

namespace zep {
class Interaction;
}

namespace zep::cli {

/** zep db SUBCOMMAND ...: the database commands; the exit code */
int db(const std::vector<std::string>& args, Interaction& ui);

extern const char* const dbUsage;

} // namespace zep::cli
