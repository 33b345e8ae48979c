#include "ConnectionStringCheck.h"

#include "database/ConnectionString.h"

#include <libpq-fe.h>

#include <map>
#include <memory>

namespace zep::fuzz {

namespace {

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

/** a value in libpq's quotes, as Qt's driver writes the host, database, user and password */
std::string quotedForLibpq(const std::string& value) {
    std::string result = "'";
    for (const char c : value) {
        if (c == '\\' || c == '\'')
            result += '\\';
        result += c;
    }
    return result + "'";
}

/** the conninfo that reaches libpq: quoted pieces from Qt's setters, then the options as they stand */
std::string conninfoOf(const ConnectionString& cs, std::string& problem) {
    std::string quoted;
    std::string options;
    for (const auto& [keyword, value] : cs.serverParameters()) {
        if (keyword == "host" || keyword == "dbname" || keyword == "user" || keyword == "password" ||
            keyword == "port") {
            quoted += " " + keyword + "=" + quotedForLibpq(value);
            continue;
        }
        for (const char c : value)
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'))
                problem = "the option " + keyword + " holds more than a word";
        options += " " + keyword + "=" + value;
    }
    return quoted + options;
}

} // namespace

std::string checkConnectionString(std::string_view text) {
    const std::string input(text.substr(0, text.find('\0')));
    ConnectionString cs;
    try {
        cs = ConnectionString::parse(input);
    } catch (const ZepError& error) {
        // A data link file's refusal names the file, which the user chose.
        if (error.number() == errors::InvalidArgument && contains(error.description(), Secret))
            return "a refusal shows the password: " + error.description();
        return {};
    }

    const bool secretOnce = input.find(Secret) != std::string::npos &&
                            input.find(Secret, input.find(Secret) + 1) == std::string::npos;
    if (secretOnce && contains(cs.password(), Secret))
        for (const std::string& shown : {cs.dataSource(), cs.displayText(), cs.provider(), cs.host(),
                                         cs.database(), cs.user(), cs.path()})
            if (contains(shown, Secret))
                return "the password shows in " + shown;

    if (cs.engine() != DatabaseEngine::PostgreSQL)
        return {};
    std::string problem;
    const std::string conninfo = conninfoOf(cs, problem);
    if (!problem.empty())
        return problem;
    char* error = nullptr;
    const std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(
        PQconninfoParse(conninfo.c_str(), &error), PQconninfoFree);
    if (!options) {
        const std::string why = error ? error : "out of memory";
        PQfreemem(error);
        return "libpq does not read the connection made: " + why;
    }
    std::map<std::string, std::string> got;
    for (const PQconninfoOption* o = options.get(); o->keyword; ++o)
        if (o->val)
            got[o->keyword] = o->val;
    std::map<std::string, std::string> named;
    for (const auto& [keyword, value] : cs.serverParameters())
        named[keyword] = value;
    if (got != named) {
        std::string keywords;
        for (const auto& [keyword, value] : got)
            keywords += " " + keyword;
        return "libpq receives other keywords or values than the string named:" + keywords;
    }
    return {};
}

} // namespace zep::fuzz
