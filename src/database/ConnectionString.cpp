#include "database/ConnectionString.h"

#include "text/TextCatalog.h"

#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

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

[[noreturn]] void badSyntax(std::string_view detail) {
    throw ZepError(errors::InvalidArgument,
                   TextCatalog::instance().text("database/Messages/badConnectionString/text",
                                                "Invalid connection string: {0}", {std::string(detail)}));
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
        std::string key;
        for (;;) {
            if (i >= n || text[i] == ';')
                badSyntax("a part has no \"=\"");
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
            badSyntax("a value has no key");
        while (i < n && isBlank(text[i]))
            ++i;
        std::string value;
        if (i < n && (text[i] == '"' || text[i] == '\'')) {
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
                badSyntax("the value of " + key + " has no closing quote");
            while (i < n && isBlank(text[i]))
                ++i;
            if (i < n && text[i] != ';')
                badSyntax("text follows the quoted value of " + key);
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

std::string readDataLinkLine(const std::string& file) {
    const auto unreadable = [&] {
        return ZepError(errors::File,
                        TextCatalog::instance().text("database/Messages/dataLinkUnreadable/text",
                                                     "Unable to read data link file : {0}", {file}));
    };
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw unreadable();
    std::string bytes;
    bytes.resize(MaxDataLinkSize + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        throw unreadable();
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > MaxDataLinkSize)
        throw unreadable();

    QString content;
    const auto utf16 = [&](std::size_t skip) {
        const std::size_t units = (bytes.size() - skip) / 2;
        QString result(static_cast<qsizetype>(units), Qt::Uninitialized);
        for (std::size_t u = 0; u < units; ++u)
            result[static_cast<qsizetype>(u)] =
                QChar(static_cast<char16_t>(static_cast<unsigned char>(bytes[skip + 2 * u]) |
                                            static_cast<unsigned char>(bytes[skip + 2 * u + 1]) << 8));
        return result;
    };
    if (startsWith(bytes, "\xFF\xFE"))
        content = utf16(2);
    else if (startsWith(bytes, "\xEF\xBB\xBF"))
        content = QString::fromUtf8(bytes.data() + 3, static_cast<qsizetype>(bytes.size() - 3));
    else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0)
        content = utf16(0); // UTF-16LE that lost its BOM
    else
        content = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));

    for (const QString& rawLine : content.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('[')))
            continue;
        return line.toStdString();
    }
    throw ZepError(errors::File,
                   TextCatalog::instance().text("database/Messages/dataLinkEmpty/text",
                                                "The data link file {0} holds no connection string", {file}));
}

std::vector<std::pair<std::string, std::string>> uriPairs(const std::string& text) {
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid())
        badSyntax("the address is not valid");
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

int number(const std::string& text, const char* what, int low, int high) {
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < low || value > high)
        badSyntax(std::string(what) + " \"" + text + "\" is not a number from " + std::to_string(low) +
                  " to " + std::to_string(high));
    return value;
}

} // namespace

ConnectionString::Pairs ConnectionString::dataLinkPairs(const std::string& file, int depth) {
    if (depth > MaxDataLinkDepth)
        badSyntax("data link files name each other");
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
        // host[:port][/database], the form dataSource() gives
        std::string rest = dataSource;
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
    if (!port.empty())
        port_ = number(port, "the port", 1, 65535);
    user_ = first({"User ID", "User", "Username", "User Name", "UID"});
    password_ = first({"Password", "PWD"});
    searchPath_ = first({"Search Path", "Schema"});
    const std::string timeout = first({"Connect Timeout", "Connection Timeout", "Timeout"});
    if (!timeout.empty())
        connectTimeout_ = number(timeout, "the timeout", 1, 3600);
    sslMode_ = first({"SSL Mode"});
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
