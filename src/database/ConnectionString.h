#pragma once

#include "database/DatabaseError.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zep {

/**
 * A connection string, understood. Accepted forms:
 * - "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=P", "Provider=SQLite;Data Source=P", or a bare
 *   path P: the local SQLite file P;
 * - "Provider=PostgreSQL;Host=..;Port=..;Database=..;User ID=..;Password=.." (also "Server",
 *   "Initial Catalog", "Search Path" and the usual synonyms; "Data Source=host:port/database" when no
 *   host is named), or a postgresql:// URI: a central PostgreSQL database. A provider that begins with
 *   "MS Remote" is taken as PostgreSQL, for old strings;
 * - "File Name=X.udl" (or a bare path ending in .udl): the connection string held by data link file X
 *   (UTF-16LE with BOM, or UTF-8; "[oledb]" header and ";" comment lines). Other keys of the string
 *   are laid over those of the file.
 * Keys are compared without regard to case, blanks and underscores; values may be quoted with " or '
 * (a doubled quote stands for itself). Unknown keys are kept and ignored; "Mode=Read" opens read-only.
 *
 * A connection is central exactly when it is a PostgreSQL one. The password is never part of a text
 * this class produces, except text() (the string as given) and forServer(): refusals name keys and
 * character positions, never values, and a string whose values hold "Password=" (a forgotten ";") is
 * refused rather than shown.
 */
class ConnectionString {
public:
    ConnectionString() = default;

    /**
     * Reads the string, and the data link file it names. Raises error 5 (InvalidArgument) for a
     * string that does not follow the syntax and 1000 for a data link file that cannot be read.
     */
    static ConnectionString parse(const std::string& text);

    /** the string that names the local file path */
    static std::string forFile(const std::string& path);
    /** the string that names a PostgreSQL database; searchPath may be empty */
    static std::string forServer(const std::string& host, int port, const std::string& database,
                                 const std::string& user, const std::string& password,
                                 const std::string& searchPath = {});

    bool empty() const { return text_.empty(); }
    /** the string as given: it may hold a password, so never show it */
    const std::string& text() const { return text_; }
    /** the string with any password replaced by "****", for captions, reports and logs */
    std::string displayText() const;

    DatabaseEngine engine() const { return engine_; }
    bool isCentral() const { return engine_ == DatabaseEngine::PostgreSQL; }
    /** the provider as written, or the one the form implies ("SQLite", "PostgreSQL") */
    const std::string& provider() const { return provider_; }
    /** the "Data Source" property: the file path, or host:port/database */
    std::string dataSource() const;

    /** SQLite: the database file */
    const std::string& path() const { return path_; }

    /** PostgreSQL connection parameters */
    const std::string& host() const { return host_; }
    int port() const { return port_; }
    const std::string& database() const { return database_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    /** schemas to look names up in, comma separated; empty: the server's default */
    const std::string& searchPath() const { return searchPath_; }
    /** seconds to wait for the server to answer */
    int connectTimeout() const { return connectTimeout_; }
    /** one of libpq's six modes, in lower case; empty: libpq's default */
    const std::string& sslMode() const { return sslMode_; }
    /** "Mode=Read": the database is only looked at */
    bool readOnly() const;

    /**
     * The PostgreSQL connection as libpq's keywords and values, each named by the user or fixed here:
     * nothing of a value ever becomes a keyword of its own.
     */
    std::vector<std::pair<std::string, std::string>> serverParameters() const;

    /** the value of any key (the last one given), as written */
    std::optional<std::string> value(std::string_view key) const;

    static constexpr int DefaultPort = 5432;
    static constexpr int DefaultConnectTimeout = 10;

private:
    enum class Form { KeyValue, Uri, Path };
    using Pairs = std::vector<std::pair<std::string, std::string>>;

    static Pairs pairsOf(const std::string& text, Form& form, int depth);
    static Pairs dataLinkPairs(const std::string& file, int depth);
    void interpret();

    std::string text_;
    Form form_ = Form::KeyValue;
    Pairs pairs_;
    DatabaseEngine engine_ = DatabaseEngine::Unsupported;
    std::string provider_;
    std::string path_;
    std::string host_;
    int port_ = DefaultPort;
    std::string database_;
    std::string user_;
    std::string password_;
    std::string searchPath_;
    int connectTimeout_ = DefaultConnectTimeout;
    std::string sslMode_;
};

} // namespace zep
