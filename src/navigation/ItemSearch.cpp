#include "navigation/ItemSearch.h"

#include "database/Connection.h"
#include "database/ItemKey.h"
#include "database/SearchIndex.h"
#include "database/Sql.h"
#include "navigation/TreeSource.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <map>

namespace zep::ItemSearch {

namespace {

/** The statement of one kind of item, its values and what it may narrow. */
class Statement {
public:
    Statement(Connection& db, const SearchQuery& query) : db_(db), query_(query) {}

    /**
     * where the SQL texts of expressions contain the query's text (or one of its hexadecimal forms);
     * lowered: PostgreSQL's expressions are in lower case already, as an index holds them
     */
    void matching(const QStringList& expressions, bool withHexForms, bool lowered = false) {
        const QString typed = QString::fromStdString(query_.text);
        if (typed.isEmpty())
            return;
        QStringList patterns{typed};
        if (withHexForms)
            patterns << hexForms(typed);
        const bool postgres = db_.engine() == DatabaseEngine::PostgreSQL;
        QStringList any;
        for (const QString& expression : expressions) {
            for (const QString& pattern : patterns) {
                any << (postgres && !lowered ? QStringLiteral("lower(%1) LIKE ? ESCAPE '!'").arg(expression)
                                             : QStringLiteral("%1 LIKE ? ESCAPE '!'").arg(expression));
                values_ << likePattern(postgres ? pattern.toLower() : pattern);
            }
        }
        where_ << "(" + any.join(QStringLiteral(" OR ")) + ")";
    }

    /** where an SQLite search table holds the query's text or a hexadecimal form of it */
    void matchingIndex(const QString& alias, bool withHexForms) {
        const QString typed = QString::fromStdString(query_.text);
        QStringList phrases{typed};
        if (withHexForms)
            phrases << hexForms(typed);
        for (QString& phrase : phrases)
            phrase = '"' + phrase.replace('"', QStringLiteral("\"\"")) + '"';
        where_ << alias + QStringLiteral(".[Text] MATCH ?");
        values_ << phrases.join(QStringLiteral(" OR "));
    }

    void where(const QString& condition, const QVariant& value) {
        where_ << condition;
        values_ << value;
    }

    /** the rows, at most limit */
    QSqlQuery run(const QString& select, std::size_t limit) {
        QString statement = select;
        if (!where_.isEmpty())
            statement += " WHERE " + where_.join(QStringLiteral(" AND "));
        statement += QStringLiteral(" LIMIT %1").arg(qulonglong(limit));
        return db_.execute(statement, values_);
    }

private:
    static QString likePattern(QString text) {
        text.replace('!', QStringLiteral("!!"))
            .replace('%', QStringLiteral("!%"))
            .replace('_', QStringLiteral("!_"));
        return '%' + text + '%';
    }

    /**
     * The digits of identification codes the list shows as characters (the part numbers and supplier
     * codes of some identification types): the text's characters as upper-case hexadecimal, of the
     * text in upper and in lower case. None for a text too long for such a code.
     */
    static QStringList hexForms(const QString& typed) {
        QStringList forms;
        if (typed.size() < 2 || typed.size() > 5)
            return forms;
        for (const QString& variant : {typed.toUpper(), typed.toLower()}) {
            QString digits;
            for (const QChar c : variant) {
                if (c.unicode() > 0xFF)
                    return {};
                digits += QStringLiteral("%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
            }
            if (!forms.contains(digits))
                forms << digits;
        }
        return forms;
    }

    Connection& db_;
    const SearchQuery& query_;
    QStringList where_;
    QVariantList values_;
};

class Search {
public:
    Search(Connection& db, const SearchQuery& query)
        : db_(db), query_(query), typed_(QString::fromStdString(query.text).trimmed()) {
        trimmed_ = query_;
        trimmed_.text = typed_.toStdString();
        readFunctionNames();
    }

    SearchResult run() {
        if (wanted(ItemKey::Function) && !query_.checked)
            functions();
        if (wanted(ItemKey::Ecu) && !query_.checked)
            ecus();
        if (wanted(ItemKey::Application))
            images(false);
        if (wanted(ItemKey::Tuning))
            images(true);
        if (result_.hits.size() > query_.limit) {
            result_.hits.resize(query_.limit);
            result_.more = true;
        }
        return std::move(result_);
    }

private:
    bool wanted(char kind) const {
        return query_.kinds.empty() || query_.kinds.find(kind) != std::string::npos;
    }

    std::size_t remaining() const {
        return query_.limit + 1 > result_.hits.size() ? query_.limit + 1 - result_.hits.size() : 0;
    }

    /** the first of the texts that holds the query's text, as "column: text"; nullopt when none does */
    std::optional<std::string> found(const std::vector<std::pair<std::string, std::string>>& fields) const {
        if (typed_.isEmpty())
            return std::string();
        for (const auto& [column, text] : fields) {
            if (QString::fromStdString(text).contains(typed_, Qt::CaseInsensitive))
                return column + ": " + text;
        }
        return std::nullopt;
    }

    void add(std::string key, std::string text, const char* icon, std::string tag, std::string field,
             std::vector<std::string> pathKeys, const std::vector<std::string>& pathTexts) {
        std::string path;
        for (const std::string& t : pathTexts)
            path += (path.empty() ? "" : "\\") + t;
        result_.hits.push_back(
            {{std::move(key), std::move(text), icon, {std::move(path), std::move(field)}, std::move(tag)},
             std::move(pathKeys)});
    }

    void readFunctionNames() {
        QSqlQuery rows = db_.execute("SELECT [Address], [Name] FROM [Fonctions] UNION "
                                     "SELECT DISTINCT [Address], NULL FROM [Hardwares] AS h WHERE NOT EXISTS "
                                     "(SELECT 1 FROM [Fonctions] AS f WHERE f.[Address] = h.[Address])");
        while (rows.next()) {
            const int address = rows.value(0).toInt();
            functionNames_[address] = TreeSource::functionText(address, sql::text(rows.value(1)));
        }
    }

    std::string functionText(int address) const {
        const auto it = functionNames_.find(address);
        return it == functionNames_.end() ? TreeSource::functionText(address, {}) : it->second;
    }

    static std::string functionKey(int address) { return ItemKey{ItemKey::Function, address}.text(); }

    void functions() {
        const std::string functionColumn = tr("frmDatabase/Messages/function/text", "Function");
        const std::string addressColumn = tr("frmDatabase/Messages/address/text", "Address");
        for (const auto& [address, name] : functionNames_) {
            if (query_.function && *query_.function != address)
                continue;
            const std::string tag = TreeSource::addressTag(address);
            if (const auto field = found({{functionColumn, name}, {addressColumn, tag}}))
                add(functionKey(address), name, "function",
                    tr("common/addressCode/text", "Address code : {0}H", tag), *field, {}, {});
        }
    }

    void ecus() {
        Statement statement(db_, trimmed_);
        statement.matching({QStringLiteral("h.[Nom]"), QStringLiteral("h.[Commentaire]")}, false);
        if (query_.function)
            statement.where(QStringLiteral("h.[Address] = ?"), *query_.function);
        QSqlQuery rows = statement.run(
            QStringLiteral("SELECT h.[Ecu Id], h.[Nom], h.[Commentaire], h.[Address] FROM [Hardwares] AS h"),
            2 * remaining() + 1);
        const std::string nameColumn = tr("frmDatabase/Messages/hardware/text", "ECU");
        const std::string commentColumn = tr("frmDatabase/Messages/comment/text", "Comment");
        while (rows.next()) {
            const std::string name = sql::text(rows.value(1));
            const std::string comment = sql::text(rows.value(2));
            const int address = rows.value(3).toInt();
            if (const auto field = found({{nameColumn, name}, {commentColumn, comment}}))
                add(ItemKey{ItemKey::Ecu, rows.value(0).toLongLong()}.text(), name, "ecu", comment, *field,
                    {functionKey(address)}, {functionText(address)});
        }
    }

    void images(bool tunings) {
        if (remaining() == 0) {
            result_.more = true;
            return;
        }
        const QString table = tunings ? QStringLiteral("Calibrations") : QStringLiteral("Applications");
        const QString alias = tunings ? QStringLiteral("c") : QStringLiteral("a");
        const QString owners =
            QStringLiteral("%1 JOIN [Hardwares] AS h ON h.[Ecu Id] = a.[Ecu Id]")
                .arg(tunings ? QStringLiteral("JOIN [Applications] AS a ON a.[App Id] = c.[App Id]")
                             : QString());
        Statement statement(db_, trimmed_);
        QString from;
        // The trigram index finds texts of three characters or more; shorter ones are looked for row by row.
        if (db_.engine() == DatabaseEngine::SQLite && typed_.size() >= 3 && SearchIndex::present(db_)) {
            from = QStringLiteral("%1 AS s JOIN %2 AS %3 ON %3.%4 = s.rowid %5")
                       .arg(db_.quote(SearchIndex::searchTable(table)), db_.quote(table), alias,
                            tunings ? QStringLiteral("[Calib Id]") : QStringLiteral("[App Id]"), owners);
            statement.matchingIndex(QStringLiteral("s"), true);
        } else {
            from = QStringLiteral("%1 AS %2 %3").arg(db_.quote(table), alias, owners);
            statement.matching({SearchIndex::text(db_, table, alias + '.')}, true, true);
        }
        if (query_.function)
            statement.where(QStringLiteral("h.[Address] = ?"), *query_.function);
        if (query_.checked)
            statement.where(alias + QStringLiteral(".[IdentValide] = ?"), *query_.checked);
        const std::size_t limit = 2 * remaining() + 1;
        QSqlQuery rows = statement.run(
            QStringLiteral("SELECT %1.*, a.[App Id] AS [Parent App Id], a.[App Name] AS [Parent App Name], "
                           "h.[Ecu Id] AS [Parent Ecu Id], h.[Nom] AS [Parent Ecu Name], "
                           "h.[Address] AS [Parent Address], h.[IdentificationType] AS [Parent Type] FROM %2")
                .arg(alias, from),
            limit);
        std::size_t candidates = 0;
        const std::vector<ListColumn>& columns = listColumns(3);
        while (rows.next()) {
            ++candidates;
            const QSqlRecord record = rows.record();
            const int type = record.value("Parent Type").toInt();
            const ListRow row = tunings ? tuningRow(record, type) : applicationRow(record, type);
            // The texts as the list shows them: the column Checked (yes or no) is a filter, not a text.
            std::vector<std::pair<std::string, std::string>> fields{{columns[0].text(), row.text}};
            for (std::size_t i = 1; i < row.subItems.size() && i + 1 < columns.size(); ++i)
                fields.emplace_back(columns[i + 1].text(), row.subItems[i]);
            fields.emplace_back(tr("frmDatabase/Messages/comment/text", "Comment"), row.tag);
            const auto field = found(fields);
            if (!field)
                continue;
            const int address = record.value("Parent Address").toInt();
            const std::string ecuKey =
                ItemKey{ItemKey::Ecu, record.value("Parent Ecu Id").toLongLong()}.text();
            std::vector<std::string> keys{functionKey(address), ecuKey};
            std::vector<std::string> texts{functionText(address), sql::text(record.value("Parent Ecu Name"))};
            if (tunings) {
                keys.push_back(
                    ItemKey{ItemKey::Application, record.value("Parent App Id").toLongLong()}.text());
                texts.push_back(sql::text(record.value("Parent App Name")));
            }
            add(row.key, row.text, row.icon.c_str(), row.tag, *field, std::move(keys), texts);
        }
        if (candidates == limit)
            result_.more = true;
    }

    Connection& db_;
    const SearchQuery& query_;
    SearchQuery trimmed_;
    QString typed_;
    std::map<int, std::string> functionNames_;
    SearchResult result_;
};

} // namespace

SearchResult find(Connection& db, const SearchQuery& query) {
    return Search(db, query).run();
}

const std::vector<ListColumn>& columns() {
    static const std::vector<ListColumn> columns{
        {"Name", "frmDatabase/Messages/name/text", "Name"},
        {"Path", "frmDatabase/Messages/search/path/text", "Path"},
        {"FoundIn", "frmDatabase/Messages/search/foundIn/text", "Found in"},
    };
    return columns;
}

Listing listing(const SearchResult& result) {
    Listing listing;
    listing.level = Level;
    for (const SearchHit& hit : result.hits)
        listing.rows.push_back(hit.row);
    return listing;
}

std::string countText(const SearchResult& result) {
    const std::size_t count = result.hits.size();
    std::string text = count >= 2 ? tr("frmDatabase/Messages/search/found/text", "{0} items found", count)
                                  : tr("frmDatabase/Messages/search/foundOne/text", "{0} item found", count);
    if (result.more)
        text += " " + tr("frmDatabase/Messages/search/more/text",
                         "(more match: type more of the name or code to narrow the search)");
    return text;
}

} // namespace zep::ItemSearch
