#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace zep::cli {

/** A command line that does not follow a command's usage; exit code 2. */
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/**
 * Positional arguments and --options of one command. Options that take a value are named up front;
 * any other option is a flag. An unknown option is a usage error.
 */
class Arguments {
public:
    Arguments(const std::vector<std::string>& args, const std::set<std::string>& valued,
              const std::set<std::string>& flags);

    const std::vector<std::string>& positional() const { return positional_; }
    /** a usage error unless there are count positional arguments (count to most, when most is given) */
    void expectPositional(std::size_t count, std::size_t most = 0) const;
    bool has(const std::string& option) const { return values_.count(option) > 0; }
    std::optional<std::string> value(const std::string& option) const;
    /** decimal, or hexadecimal with 0x */
    [[nodiscard]] std::optional<std::int64_t> number(const std::string& option, std::int64_t least,
                                                     std::int64_t most) const;

private:
    std::vector<std::string> positional_;
    std::map<std::string, std::string> values_;
};

[[nodiscard]] std::optional<std::int64_t> parseNumber(const std::string& text);

} // namespace zep::cli
