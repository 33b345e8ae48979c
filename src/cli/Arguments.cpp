#include "Arguments.h"

#include <algorithm>
#include <charconv>

namespace zep::cli {

Arguments::Arguments(const std::vector<std::string>& args, const std::set<std::string>& valued,
                     const std::set<std::string>& flags) {
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--" && !optionsEnd) {
            optionsEnd = true; // what follows is positional, whatever it looks like
        } else if (!optionsEnd && a.size() > 2 && a.rfind("--", 0) == 0) {
            std::string name = a.substr(2);
            std::optional<std::string> inlineValue;
            if (const auto eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
            }
            if (valued.count(name)) {
                if (inlineValue)
                    values_[name] = *inlineValue;
                else if (i + 1 < args.size())
                    values_[name] = args[++i];
                else
                    throw UsageError("option --" + name + " needs a value");
            } else if (flags.count(name) && !inlineValue) {
                values_[name] = "";
            } else {
                throw UsageError("unknown option --" + name);
            }
        } else {
            positional_.push_back(a);
        }
    }
}

void Arguments::expectPositional(std::size_t count, std::size_t most) const {
    if (positional_.size() < count)
        throw UsageError("missing arguments");
    if (positional_.size() > std::max(count, most))
        throw UsageError("too many arguments");
}

std::optional<std::string> Arguments::value(const std::string& option) const {
    const auto it = values_.find(option);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::int64_t> parseNumber(const std::string& text) {
    std::string_view t = text;
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t.remove_prefix(2);
        base = 16;
    }
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, base);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size())
        return std::nullopt;
    return v;
}

std::optional<std::int64_t> Arguments::number(const std::string& option, std::int64_t least,
                                              std::int64_t most) const {
    const auto text = value(option);
    if (!text)
        return std::nullopt;
    const auto v = parseNumber(*text);
    if (!v || *v < least || *v > most)
        throw UsageError("--" + option + " takes a number from " + std::to_string(least) + " to " +
                         std::to_string(most) + " (decimal, or hexadecimal with 0x), not \"" + *text + "\"");
    return v;
}

} // namespace zep::cli
