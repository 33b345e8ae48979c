#pragma once

#include <string>
#include <vector>

namespace zep {
class Interaction;
}

namespace zep::cli {

/** The commands on flash files. Each returns the exit code; refusals throw ZepError, usage errors UsageError. */
int info(const std::vector<std::string>& args, Interaction& ui);
int convert(const std::vector<std::string>& args, Interaction& ui);
int kwp2txt(const std::vector<std::string>& args, Interaction& ui);

extern const char* const infoUsage;
extern const char* const convertUsage;
extern const char* const kwp2txtUsage;

} // namespace zep::cli
