#include "database/ConnectionString.h"

#include "flash/FlashFile.h"
#include "text/TextCatalog.h"

#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>

namespace zep {

namespace {

constexpr int MaxDataLinkDepth = 4;
constexpr std::size_t MaxDataLinkSize = 1 << 20;

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::string lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && lower(text.substr(text.size() - suffix.size())) == suffix;
}

/** "User ID", "userid" and "USER_ID" name the same key */
std::string normalKey(std::string_view key) {
    std::string result;
    for (const unsigned char c : key)
        if (c != ' ' && c != '_' && c != '\t')
            result += static_cast<char>(std::tolower(c));
    return result;
}

bool isPasswordKey(std::string_view key) {
    const std::string k = normalKey(key);
    return k == "pwd" || k.find("password") != std::string::npos;
}

/** a value that holds "Password=": a part whose ";" was forgotten, shown wherever the value is shown */
bool holdsPasswordKey(std::string_view value) {
    const std::string v = normalKey(value);
    return v.find("password=") != std::string::npos || v.find("pwd=") != std::string::npos;
}

/** Raises the refusal of a string. reason never quotes the string: any part of it may hold a password. */
[[noreturn]] void badSyntax(const std::string& reason) {
    throw ZepError(errors::InvalidArgument, tr("database/Messages/badConnectionString/text",
                                               "Invalid connection string: {0}", reason));
}

/** where a refusal points: a character count, which shows nothing of the string */
std::string at(std::size_t index) {
    return std::to_string(index + 1);
}

/** a value as the OLE DB syntax wants it: quoted when it holds ";" or quotes, or starts with "=" or ends
 * blank */
std::string quoted(const std::string& value) {
    // A leading "=" would read as a doubled "=" of the key.
    const bool plain =
        value.find_first_of(";\"'") == std::string::npos &&
        (value.empty() || (value.front() != ' ' && value.front() != '=' && value.back() != ' '));
    if (plain)
        return value;
    if (value.find('"') == std::string::npos)
        return '"' + value + '"';
    if (value.find('\'') == std::string::npos)
        return '\'' + value + '\'';
    std::string result = "\"";
    for (const char c : value)
        result += c == '"' ? std::string("\"\"") : std::string(1, c);
    return result + '"';
}

std::string quotedKey(const std::string& key) {
    std::string result;
    for (const char c : key)
        result += c == '=' ? std::string("==") : std::string(1, c);
    return result;
}

/** Key=value pairs separated by ";"; "==" in a key is "="; a value may be quoted. */
std::vector<std::pair<std::string, std::string>> splitPairs(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    const std::size_t n = text.size();
    std::size_t i = 0;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    for (;;) {
        while (i < n && (isBlank(text[i]) || text[i] == ';'))
            ++i;
        if (i >= n)
            break;
        const std::size_t partStart = i;
        std::string key;
        for (;;) {
            if (i >= n || text[i] == ';')
                badSyntax(tr("database/Messages/connectionString/noEquals/text",
                             "the part at character {0} has no \"=\"", at(partStart)));
            if (text[i] == '=') {
                if (i + 1 < n && text[i + 1] == '=') {
                    key += '=';
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            key += text[i++];
        }
        key = trim(key);
        if (key.empty())
            badSyntax(tr("database/Messages/connectionString/noKey/text",
                         "the value at character {0} has no key", at(partStart)));
        while (i < n && isBlank(text[i]))
            ++i;
        std::string value;
        if (i < n && (text[i] == '"' || text[i] == '\'')) {
            const std::size_t quoteAt = i;
            const char quote = text[i++];
            bool closed = false;
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                badSyntax(tr("database/Messages/connectionString/openQuote/text",
                             "the quote at character {0} is not closed", at(quoteAt)));
            while (i < n && isBlank(text[i]))
                ++i;
            if (i < n && text[i] != ';')
                badSyntax(tr("database/Messages/connectionString/afterQuote/text",
                             "text follows the quoted value at character {0}: separate the parts with \";\"",
                             at(quoteAt)));
        } else {
            std::size_t end = text.find(';', i);
            if (end == std::string::npos)
                end = n;
            value = trim(std::string_view(text).substr(i, end - i));
            i = end;
        }
        pairs.emplace_back(key, value);
    }
    return pairs;
}

/**
 * The connection string a data link file holds: the first line after the "[oledb]" header that is no
 * comment. Anything that does not start with the header is refused without a word of its content, which
 * may be any file of the user's.
 */
std::string readDataLinkLine(const std::string& file) {
    const std::string bytes = readWholeFile(file, MaxDataLinkSize);
    const auto utf16 = [&](std::size_t skip, bool bigEndian) {
        const std::size_t units = (bytes.size() - skip) / 2;
        QString result(static_cast<qsizetype>(units), Qt::Uninitialized);
        for (std::size_t u = 0; u < units; ++u) {
            const auto first = static_cast<unsigned char>(bytes[skip + 2 * u]);
            const auto second = static_cast<unsigned char>(bytes[skip + 2 * u + 1]);
            result[static_cast<qsizetype>(u)] =
                QChar(static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first));
        }
        return result;
    };
    QString content;
    if (startsWith(bytes, "\xFF\xFE"))
        content = utf16(2, false);
    else if (startsWith(bytes, "\xFE\xFF"))
        content = utf16(2, true);
    else if (startsWith(bytes, "\xEF\xBB\xBF"))
        content = QString::fromUtf8(bytes.data() + 3, static_cast<qsizetype>(bytes.size() - 3));
    else
        content = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));

    const QStringList lines = content.split(QLatin1Char('\n'));
    if (lines.first().trimmed().compare(QLatin1String("[oledb]"), Qt::CaseInsensitive) != 0)
        throw ZepError(errors::File, tr("database/Messages/notADataLinkFile/text",
                                        "{0} is not a data link file: its first line must be [oledb]", file));
    for (const QString& rawLine : lines.mid(1)) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        return line.toStdString();
    }
    throw ZepError(errors::File, tr("database/Messages/dataLinkEmpty/text",
                                    "The data link file {0} holds no connection string", file));
}

std::vector<std::pair<std::string, std::string>> uriPairs(const std::string& text) {
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid())
        badSyntax(tr("database/Messages/connectionString/badAddress/text",
                     "the postgresql:// address is not valid"));
    std::vector<std::pair<std::string, std::string>> pairs{{"Provider", "PostgreSQL"}};
    if (!url.host().isEmpty())
        pairs.emplace_back("Host", url.host().toStdString());
    if (url.port() != -1)
        pairs.emplace_back("Port", std::to_string(url.port()));
    const QString database = url.path(QUrl::FullyDecoded).mid(1);
    if (!database.isEmpty())
        pairs.emplace_back("Database", database.toStdString());
    if (!url.userName().isEmpty())
        pairs.emplace_back("User ID", url.userName(QUrl::FullyDecoded).toStdString());
    if (!url.password().isEmpty())
        pairs.emplace_back("Password", url.password(QUrl::FullyDecoded).toStdString());
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        pairs.emplace_back(key.toStdString(), value.toStdString());
    return pairs;
}

bool isUri(std::string_view text) {
    const std::string start = lower(text.substr(0, 13));
    return startsWith(start, "postgresql://") || startsWith(start, "postgres://");
}

/** the value of key as a number from low to high; a refusal names the key, never the value */
int number(const std::string& text, const char* key, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        badSyntax(tr("database/Messages/connectionString/badNumber/text",
                     "{0} must be a number from {1} to {2}", key, low, high));
    return value;
}

/** The modes libpq knows. Anything else is refused: the value goes to the server's options. */
constexpr std::array<std::string_view, 6> SslModes{"disable", "allow",     "prefer",
                                                   "require", "verify-ca", "verify-full"};

/**
 * A host libpq takes as one: a name, an address, a list of them, or a socket folder. Blanks, "@", "=" or
 * quotes mean that something else (a user, a password, another key) was written into it.
 */
bool isHost(const std::string& host) {
    if (host.empty())
        return false;
    const bool socketFolder = host.front() == '/';
    return std::none_of(host.begin(), host.end(), [&](unsigned char c) {
        return c < 0x20 || c == 0x7F || c == '=' || c == '@' || c == '"' || c == '\'' || c == ';' ||
               (!socketFolder && (c == ' ' || c == '/' || c == '\\'));
    });
}

[[noreturn]] void badHost() {
    badSyntax(tr("database/Messages/connectionString/badHost/text",
                 "the host name is not valid (a user name and password go in User ID and Password)"));
}

} // namespace

ConnectionString::Pairs ConnectionString::dataLinkPairs(const std::string& file, int depth) {
    if (depth > MaxDataLinkDepth)
        badSyntax(
            tr("database/Messages/connectionString/dataLinkLoop/text", "data link files name each other"));
    Form form = Form::KeyValue;
    return pairsOf(readDataLinkLine(file), form, depth + 1);
}

ConnectionString::Pairs ConnectionString::pairsOf(const std::string& text, Form& form, int depth) {
    const std::string trimmedText = trim(text);
    if (isUri(trimmedText)) {
        form = Form::Uri;
        return uriPairs(trimmedText);
    }
    std::error_code ec;
    if (trimmedText.find('=') == std::string::npos ||
        (trimmedText.find(';') == std::string::npos && std::filesystem::is_regular_file(trimmedText, ec))) {
        form = Form::Path;
        if (endsWithNoCase(trimmedText, ".udl"))
            return dataLinkPairs(trimmedText, depth);
        return {{"Provider", "SQLite"}, {"Data Source", trimmedText}};
    }
    form = Form::KeyValue;
    Pairs pairs = splitPairs(trimmedText);
    const auto link = std::find_if(pairs.rbegin(), pairs.rend(),
                                   [](const auto& pair) { return normalKey(pair.first) == "filename"; });
    if (link == pairs.rend())
        return pairs;
    // The file's keys first, so that the string's own keys win.
    Pairs resolved = dataLinkPairs(link->second, depth);
    for (const auto& pair : pairs)
        if (normalKey(pair.first) != "filename")
            resolved.push_back(pair);
    return resolved;
}

ConnectionString ConnectionString::parse(const std::string& text) {
    ConnectionString result;
    result.text_ = text;
    if (trim(text).empty())
        return result;
    result.pairs_ = pairsOf(text, result.form_, 0);
    for (const auto& [key, value] : result.pairs_) {
        // C strings end at a null character: what follows it would be lost on the way to libpq or SQLite
        if (key.find('\0') != std::string::npos || value.find('\0') != std::string::npos)
            badSyntax(tr("database/Messages/connectionString/nullCharacter/text",
                         "a key or a value holds a null character"));
        if (!isPasswordKey(key) && holdsPasswordKey(value))
            badSyntax(
                tr("database/Messages/connectionString/keyInValue/text",
                   "a value holds the text of another key (\"Password=\"): separate the parts with \";\""));
    }
    result.interpret();
    return result;
}

std::optional<std::string> ConnectionString::value(std::string_view key) const {
    const std::string wanted = normalKey(key);
    for (auto pair = pairs_.rbegin(); pair != pairs_.rend(); ++pair)
        if (normalKey(pair->first) == wanted)
            return pair->second;
    return std::nullopt;
}

void ConnectionString::interpret() {
    const auto first = [this](std::initializer_list<std::string_view> keys) -> std::string {
        for (const std::string_view key : keys)
            if (auto found = value(key); found && !found->empty())
                return *found;
        return {};
    };

    provider_ = first({"Provider"});
    const std::string kind = lower(provider_);
    const bool msRemote = startsWith(kind, "ms remote");
    if (startsWith(kind, "microsoft.jet.oledb") || startsWith(kind, "microsoft.ace.oledb") ||
        startsWith(kind, "sqlite") || startsWith(kind, "system.data.sqlite"))
        engine_ = DatabaseEngine::SQLite;
    else if (msRemote || startsWith(kind, "postgres") || startsWith(kind, "pgnp") ||
             startsWith(kind, "npgsql"))
        engine_ = DatabaseEngine::PostgreSQL;
    else if (kind.empty() && !first({"Host", "Server"}).empty())
        engine_ = DatabaseEngine::PostgreSQL;
    else if (kind.empty() && !first({"Data Source"}).empty())
        engine_ = DatabaseEngine::SQLite;
    else
        engine_ = DatabaseEngine::Unsupported;

    const std::string dataSource = first({"Data Source"});
    if (engine_ == DatabaseEngine::SQLite) {
        path_ = dataSource;
        if (provider_.empty())
            provider_ = "SQLite";
        return;
    }
    if (engine_ != DatabaseEngine::PostgreSQL)
        return;
    if (provider_.empty())
        provider_ = "PostgreSQL";

    host_ = first({"Host", "Server"});
    std::string port = first({"Port"});
    database_ = first({"Database", "Initial Catalog", "dbname"});
    if (msRemote) {
        // Old strings name the remote server by address and the database by the file it used to be.
        if (host_.empty()) {
            const std::string remote = first({"Remote Server"});
            host_ = remote.find("://") != std::string::npos
                        ? QUrl(QString::fromStdString(remote)).host().toStdString()
                        : remote;
        }
        if (database_.empty() && !dataSource.empty()) {
            std::string name = dataSource.substr(dataSource.find_last_of("/\\") + 1);
            database_ = name.substr(0, name.rfind('.'));
        }
    } else if (host_.empty() && !dataSource.empty()) {
        // host[:port][/database], the form dataSource() gives; user:password@ has no place in it
        std::string rest = dataSource;
        if (rest.find('@') != std::string::npos)
            badHost();
        if (const auto slash = rest.find('/'); slash != std::string::npos) {
            if (database_.empty())
                database_ = rest.substr(slash + 1);
            rest.resize(slash);
        }
        if (const auto colon = rest.rfind(':');
            colon != std::string::npos && rest.find(':') == colon && port.empty()) {
            port = rest.substr(colon + 1);
            rest.resize(colon);
        }
        host_ = rest;
    }
    if (!host_.empty() && host_.front() == '[' && host_.back() == ']')
        host_ = host_.substr(1, host_.size() - 2);
    if (host_.empty())
        host_ = "localhost";
    if (!isHost(host_))
        badHost();
    if (!port.empty())
        port_ = number(port, "Port", 1, 65535);
    user_ = first({"User ID", "User", "Username", "User Name", "UID"});
    password_ = first({"Password", "PWD"});
    searchPath_ = first({"Search Path", "Schema"});
    const std::string timeout = first({"Connect Timeout", "Connection Timeout", "Timeout"});
    if (!timeout.empty())
        connectTimeout_ = number(timeout, "Connect Timeout", 1, 3600);
    sslMode_ = lower(first({"SSL Mode"}));
    if (!sslMode_.empty() && std::find(SslModes.begin(), SslModes.end(), sslMode_) == SslModes.end())
        badSyntax(tr("database/Messages/connectionString/badSslMode/text",
                     "SSL Mode must be one of disable, allow, prefer, require, verify-ca, verify-full"));
}

std::vector<std::pair<std::string, std::string>> ConnectionString::serverParameters() const {
    std::vector<std::pair<std::string, std::string>> parameters{{"host", host_},
                                                                {"port", std::to_string(port_)}};
    for (const auto& [keyword, value] : {std::pair{"dbname", &database_},
                                         {"user", &user_},
                                         {"password", &password_},
                                         {"sslmode", &sslMode_}})
        if (!value->empty())
            parameters.emplace_back(keyword, *value);
    parameters.emplace_back("connect_timeout", std::to_string(connectTimeout_));
    parameters.emplace_back("application_name", "zepviewer");
    return parameters;
}

bool ConnectionString::readOnly() const {
    // OLE DB's Mode: "Read", "ReadWrite", "Share Deny None", or several joined by "|"
    const QStringList modes = QString::fromStdString(value("Mode").value_or("")).split(QLatin1Char('|'));
    return std::any_of(modes.begin(), modes.end(), [](const QString& mode) {
        return mode.trimmed().compare(QLatin1String("Read"), Qt::CaseInsensitive) == 0;
    });
}

std::string ConnectionString::dataSource() const {
    switch (engine_) {
    case DatabaseEngine::SQLite:
        return path_;
    case DatabaseEngine::PostgreSQL: {
        const std::string host = host_.find(':') != std::string::npos ? "[" + host_ + "]" : host_;
        return host + ":" + std::to_string(port_) + "/" + database_;
    }
    case DatabaseEngine::Unsupported:
        break;
    }
    return value("Data Source").value_or("");
}

std::string ConnectionString::displayText() const {
    switch (form_) {
    case Form::Path:
        return text_;
    case Form::Uri: {
        QUrl url(QString::fromStdString(trim(text_)));
        QUrlQuery query(url);
        for (const auto& [key, value] : QUrlQuery(url).queryItems())
            if (isPasswordKey(key.toStdString()))
                query.removeAllQueryItems(key);
        url.setQuery(query);
        return url.toString(QUrl::RemovePassword | QUrl::FullyEncoded).toStdString();
    }
    case Form::KeyValue:
        break;
    }
    if (trim(text_).empty())
        return {};
    std::string result;
    for (const auto& [key, value] : splitPairs(trim(text_))) {
        if (!result.empty())
            result += ';';
        result += quotedKey(key) + '=' + (isPasswordKey(key) ? std::string("****") : quoted(value));
    }
    return result;
}

std::string ConnectionString::forFile(const std::string& path) {
    return "Provider=SQLite;Data Source=" + quoted(path);
}

std::string ConnectionString::forServer(const std::string& host, int port, const std::string& database,
                                        const std::string& user, const std::string& password,
                                        const std::string& searchPath) {
    std::string result = "Provider=PostgreSQL;Host=" + quoted(host) + ";Port=" + std::to_string(port) +
                         ";Database=" + quoted(database) + ";User ID=" + quoted(user) +
                         ";Password=" + quoted(password);
    if (!searchPath.empty())
        result += ";Search Path=" + quoted(searchPath);
    return result;
}

} // namespace zep
