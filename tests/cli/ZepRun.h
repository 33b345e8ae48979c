#pragma once

#include "support/TestFiles.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace zep::test {

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

/** runs the zep program; prefix goes before it on the command line (another user, a deadline) */
inline Outcome zep(const std::vector<std::string>& args, const std::string& prefix = {}) {
    TempDir dir;
    const auto quoted = [](const std::string& a) {
        std::string q = "'";
        for (const char c : a)
            q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    std::string command = prefix + " " + quoted(ZEP_PROGRAM);
    for (const std::string& a : args)
        command += " " + quoted(a);
    const int status =
        std::system((command + " >" + dir.file("out") + " 2>" + dir.file("err") + " </dev/null").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir.file("out")),
            readFile(dir.file("err"))};
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace zep::test
