#include "ImageStore.h"

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/Sql.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>

#include <libpq-fe.h>

namespace zep::ImageStore {

const ItemTables& TablesOf(Owner owner) {
    static const ItemTables application{"Applications", "App Id", "Ecu Id", "App Name", "Application Code"};
    static const ItemTables tuning{"Calibrations", "Calib Id", "App Id", "Calib Name", "Calibration Data"};
    return owner == Owner::Application ? application : tuning;
}

namespace {

/** the kinds of key that name an image; anything else is nullopt */
std::optional<std::pair<Owner, qint64>> imageKey(const std::string& key) {
    const auto k = ItemKey::parse(key);
    if (!k || (k->kind != ItemKey::Application && k->kind != ItemKey::Tuning))
        return std::nullopt;
    return std::make_pair(k->kind == ItemKey::Application ? Owner::Application : Owner::Tuning, k->id);
}

QSqlRecord itemRow(Connection& db, Owner owner, qint64 id) {
    const ItemTables& t = TablesOf(owner);
    QSqlQuery q = db.execute(QString("SELECT * FROM [%1] WHERE [%2] = ?").arg(t.items, t.id), {id});
    if (!q.next())
        throw ZepError(
            errors::File,
            owner == Owner::Application
                ? tr("database/Messages/noSuchApplication/text", "Application {0} does not exist", id)
                : tr("database/Messages/noSuchTuning/text", "Tuning {0} does not exist", id));
    return q.record();
}

QByteArray bytesOf(std::span<const std::uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

/** Code Fournisseur as the three characters the identification holds; short texts are padded */
std::string supplierText(const QVariant& v) {
    std::string s = sql::text(v);
    while (s.size() < 3)
        s.push_back(' ');
    return s;
}

} // namespace

void ReadFrom(const QSqlRecord& row, EcuApplication& app) {
    // Databases made elsewhere leave some of these columns Null or empty: the record keeps its default
    // for them. Text that is there must still be what the identification holds.
    const auto given = [&row](const char* column) -> std::optional<std::string> {
        std::string text =
            row.indexOf(column) >= 0 ? sql::trimmed(sql::text(row.value(column))) : std::string();
        if (text.empty())
            return std::nullopt;
        return text;
    };
    const auto set = [&](const char* column, void (EcuApplication::*setter)(const std::string&)) {
        if (const auto text = given(column))
            (app.*setter)(*text);
    };
    set("PIE", &EcuApplication::setPIE);
    app.setIndiceDiag(static_cast<std::uint8_t>(row.value("Indice Diag").toInt()));
    app.setFournisseur(supplierText(row.value("Code Fournisseur")));
    set("SupplierHex", &EcuApplication::setFournisseurHex);
    set("Hardware", &EcuApplication::setHardware);
    set("Software", &EcuApplication::setSoftware);
    set("Version", &EcuApplication::setVersion);
    set("Calibration", &EcuApplication::setCalibration);
    set("Réserve", &EcuApplication::setReserve);
    // The approval number is free text, kept as stored (an empty one included: the XML export gives
    // it back); only a Null one takes the default.
    if (!row.isNull("Homologation"))
        app.Homologation = sql::text(row.value("Homologation"));
}

EcuApplication Download(Connection& db, const std::string& key, bool tuningOnly, bool* checked,
                        Interaction* ui) {
    EcuApplication app;
    if (const auto k = imageKey(key)) {
        const auto [owner, id] = *k;
        const QSqlRecord row = itemRow(db, owner, id);
        if (checked)
            *checked = row.value("IdentValide").toBool();
        ReadFrom(row, app);
        qint64 appId = id;
        if (owner == Owner::Tuning)
            appId = row.value("App Id").toLongLong();
        const QSqlRecord application = owner == Owner::Tuning ? itemRow(db, Owner::Application, appId) : row;
        EcuStore::Read(db, application.value("Ecu Id").toLongLong(), app.Ecu());
        if (owner == Owner::Application || !tuningOnly)
            LoadImageRows(db, Owner::Application, appId, app.value(), false, ui);
        if (owner == Owner::Tuning)
            LoadImageRows(db, Owner::Tuning, id, app.value(), !tuningOnly, ui);
    }
    app.setEstCalibration(tuningOnly);
    return app;
}

void Marquage(Connection& db, const std::string& key) {
    const auto k = imageKey(key);
    if (!k)
        return;
    const ItemTables& t = TablesOf(k->first);
    db.execute(QString("UPDATE [%1] SET [IdentValide] = ? WHERE [%2] = ?").arg(t.items, t.id),
               {true, k->second});
}

void UpdateIdent(Connection& db, const std::string& key, const EcuApplication& app) {
    const auto k = imageKey(key);
    if (!k)
        return;
    const ItemTables& t = TablesOf(k->first);
    db.execute(
        QString("UPDATE [%1] SET [IdentValide] = ?, [PIE] = ?, [Indice Diag] = ?, [Code Fournisseur] = ?,"
                " [Hardware] = ?, [Software] = ?, [Version] = ?, [Calibration] = ?, [Réserve] = ?,"
                " [SupplierHex] = ? WHERE [%2] = ?")
            .arg(t.items, t.id),
        {true, sql::text(app.PIE()), int(app.IndiceDiag()), sql::text(app.Fournisseur()),
         sql::text(app.Hardware()), sql::text(app.Software()), sql::text(app.Version()),
         sql::text(app.Calibration()), sql::text(app.Reserve()), sql::text(app.FournisseurHex()), k->second});
}

void UpdateComment(Connection& db, const std::string& key, const std::string& comment,
                   const std::string& homologation) {
    const auto k = imageKey(key);
    if (!k)
        return;
    const ItemTables& t = TablesOf(k->first);
    // One statement: both columns change together or neither does.
    db.execute(
        QString("UPDATE [%1] SET [Commentaire] = ?, [Homologation] = ? WHERE [%2] = ?").arg(t.items, t.id),
        {sql::text(comment.empty() ? std::string(" ") : comment), sql::text(homologation), k->second});
}

qint64 AddItemRow(Connection& db, Owner owner, qint64 ownerId, const NewItem& item,
                  const EcuApplication& app) {
    const ItemTables& t = TablesOf(owner);
    return db.insert(
        QString(
            "INSERT INTO [%1] ([%2], [%3], [PIE], [Indice Diag], [Code Fournisseur], [Hardware], [Software],"
            " [Version], [Calibration], [Réserve], [Homologation], [IdentValide], [Commentaire], "
            "[SupplierHex])"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING [%4]")
            .arg(t.items, t.owner, t.name, t.id),
        {ownerId, sql::text(item.name), sql::text(app.PIE()), int(app.IndiceDiag()),
         sql::text(app.Fournisseur()), sql::text(app.Hardware()), sql::text(app.Software()),
         sql::text(app.Version()), sql::text(app.Calibration()), sql::text(app.Reserve()),
         sql::text(app.Homologation), item.identValide, sql::nullableText(item.commentaire),
         sql::text(app.FournisseurHex())});
}

namespace {

/** the libpq connection under Qt's: its transaction, if one is open, takes in what is sent on it */
PGconn* postgresHandle(Connection& db) {
    const QVariant handle = db.database().driver()->handle();
    // Qt 6 names the type after the struct behind libpq's typedef.
    const char* type = handle.typeName();
    if (!handle.isValid() || (qstrcmp(type, "PGconn*") != 0 && qstrcmp(type, "pg_conn*") != 0))
        db.raise(
            QSqlError(QStringLiteral("QPSQL: no connection handle"), QString(), QSqlError::ConnectionError));
    return *static_cast<PGconn* const*>(handle.constData());
}

/** raises a libpq failure (of result, else of the connection) as the connection raises Qt's, with its
 * SQLSTATE */
[[noreturn]] void raisePostgres(Connection& db, PGconn* conn, PGresult* result) {
    const QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn));
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QString code = QString::fromLatin1(state ? state : "");
    PQclear(result);
    db.raise(QSqlError(QStringLiteral("QPSQL"), message, QSqlError::StatementError, code));
}

void appendInt16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void appendInt32(std::string& out, std::uint32_t v) {
    appendInt16(out, static_cast<std::uint16_t>(v >> 16));
    appendInt16(out, static_cast<std::uint16_t>(v));
}

/**
 * PostgreSQL: the rows go in one COPY in the binary format, sent in pieces as they are made: no text
 * to parse, neither here nor on the server. The statement fails as a whole, so a failure leaves the
 * table as it was.
 */
class RowCopy {
public:
    RowCopy(Connection& db, const ItemTables& t) : db_(db), conn_(postgresHandle(db)) {
        const QString statement = db.sql(
            QString("COPY [%1] ([%2], [Address], [Bytes]) FROM STDIN (FORMAT binary)").arg(t.rows, t.id));
        PGresult* result = PQexec(conn_, statement.toUtf8().constData());
        const bool started = PQresultStatus(result) == PGRES_COPY_IN;
        if (!started)
            raise(result); // clears result
        PQclear(result);
        open_ = true;
        static const char signature[] = "PGCOPY\n\377\r\n";
        buffer_.assign(signature, sizeof signature); // with its final zero byte
        appendInt32(buffer_, 0);                     // flags
        appendInt32(buffer_, 0);                     // header extension
    }

    /** a failed copy is ended so that the connection can roll back */
    ~RowCopy() {
        if (!open_)
            return;
        PQputCopyEnd(conn_, "abandoned");
        while (PGresult* result = PQgetResult(conn_))
            PQclear(result);
    }

    RowCopy(const RowCopy&) = delete;
    RowCopy& operator=(const RowCopy&) = delete;

    void add(qint64 ownerId, const ImageBlock& block) {
        appendInt16(buffer_, 3);
        appendInt32(buffer_, 4);
        appendInt32(buffer_, static_cast<std::uint32_t>(ownerId));
        appendInt32(buffer_, 4);
        appendInt32(buffer_, block.first);
        appendInt32(buffer_, static_cast<std::uint32_t>(block.bytes.size()));
        buffer_.append(reinterpret_cast<const char*>(block.bytes.data()), block.bytes.size());
    }

    /** sends what was added */
    void send() {
        if (buffer_.empty())
            return;
        if (PQputCopyData(conn_, buffer_.data(), static_cast<int>(buffer_.size())) != 1)
            raise(nullptr);
        buffer_.clear();
    }

    /** ends the copy; the server's refusal, if any, comes here */
    void finish() {
        appendInt16(buffer_, 0xFFFF);
        send();
        open_ = false;
        if (PQputCopyEnd(conn_, nullptr) != 1)
            raise(nullptr);
        PGresult* failed = nullptr;
        while (PGresult* result = PQgetResult(conn_)) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK && !failed)
                failed = result;
            else
                PQclear(result);
        }
        if (failed)
            raise(failed);
    }

private:
    [[noreturn]] void raise(PGresult* result) { raisePostgres(db_, conn_, result); }

    Connection& db_;
    PGconn* conn_;
    std::string buffer_;
    bool open_ = false;
};

void storeRowsSqlite(Connection& db, const ItemTables& t, qint64 ownerId, const MemImage& image,
                     Interaction* ui) {
    // SQLite binds the values of one prepared multi-row INSERT again and again: a statement a row
    // would cost far more, and the cost of one statement grows with the square of its parameters, so
    // batches stay small.
    const std::size_t batch = 50;
    const auto statement = [&t](std::size_t rows) {
        QString s = QString("INSERT INTO [%1] ([%2], [Address], [Bytes]) VALUES ").arg(t.rows, t.id);
        for (std::size_t i = 0; i < rows; ++i)
            s += i == 0 ? QLatin1String("(?, ?, ?)") : QLatin1String(", (?, ?, ?)");
        return s;
    };
    const std::size_t count = image.count();
    const std::string what = tr("database/Messages/storingImage/text", "Storing the image");
    QSqlQuery prepared(db.database()); // full batches reuse one statement
    bool isPrepared = false;
    QVariantList values;
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(batch, count - done);
        values.clear();
        values.reserve(static_cast<qsizetype>(3 * n));
        for (std::size_t i = 0; i < n; ++i) {
            const ImageBlock block = image[done + i];
            values << ownerId << static_cast<qint32>(block.first) << bytesOf(block.bytes);
        }
        if (n == batch) {
            if (!isPrepared && !prepared.prepare(db.sql(statement(n))))
                db.raise(prepared.lastError());
            isPrepared = true;
            for (const QVariant& v : values)
                prepared.addBindValue(v);
            if (!prepared.exec())
                db.raise(prepared.lastError());
        } else {
            db.execute(statement(n), values);
        }
        done += n;
        if (ui)
            ui->progress(what, done, count);
    }
}

void storeRowsPostgres(Connection& db, const ItemTables& t, qint64 ownerId, const MemImage& image,
                       Interaction* ui) {
    const std::size_t piece = 16384; // rows a message: about 0.9 MB of 32-byte blocks
    const std::size_t count = image.count();
    const std::string what = tr("database/Messages/storingImage/text", "Storing the image");
    RowCopy copy(db, t);
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(piece, count - done);
        for (std::size_t i = 0; i < n; ++i)
            copy.add(ownerId, image[done + i]);
        copy.send();
        done += n;
        if (ui)
            ui->progress(what, done, count);
    }
    copy.finish();
}

} // namespace

void StoreImageRows(Connection& db, Owner owner, qint64 ownerId, const MemImage& image, Interaction* ui) {
    // A 16 MiB image of 32-byte blocks is half a million rows: one statement a row would cost a round
    // trip each.
    if (db.engine() == DatabaseEngine::PostgreSQL)
        storeRowsPostgres(db, TablesOf(owner), ownerId, image, ui);
    else
        storeRowsSqlite(db, TablesOf(owner), ownerId, image, ui);
}

namespace {

std::uint32_t int32At(const char* bytes) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes);
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

/**
 * PostgreSQL: the rows come in the binary format, one at a time: no text to decode, and no result of
 * half a million rows held in memory at once.
 */
void loadRowsPostgres(Connection& db, const ItemTables& t, qint64 ownerId, MemImage& image, bool write,
                      const std::function<void()>& rowRead) {
    PGconn* conn = postgresHandle(db);
    const QByteArray statement =
        db.sql(QString("SELECT [Address], [Bytes] FROM [%1] WHERE [%2] = $1 ORDER BY [Address]")
                   .arg(t.rows, t.id))
            .toUtf8();
    std::string id;
    appendInt32(id, static_cast<std::uint32_t>(ownerId));
    const Oid types[] = {23}; // integer
    const char* const values[] = {id.data()};
    const int lengths[] = {4};
    const int binary[] = {1};
    if (!PQsendQueryParams(conn, statement.constData(), 1, types, values, lengths, binary, 1))
        raisePostgres(db, conn, nullptr);
    PQsetSingleRowMode(conn);
    // Every result is taken, whatever happens, so that the connection is ready for the next statement.
    struct Drain {
        PGconn* conn;
        ~Drain() {
            while (PGresult* result = PQgetResult(conn))
                PQclear(result);
        }
    } drain{conn};
    while (PGresult* result = PQgetResult(conn)) {
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_SINGLE_TUPLE) {
            const std::uint32_t address = int32At(PQgetvalue(result, 0, 0));
            const std::span<const std::uint8_t> bytes(
                reinterpret_cast<const std::uint8_t*>(PQgetvalue(result, 0, 1)),
                static_cast<std::size_t>(PQgetlength(result, 0, 1)));
            try {
                if (write)
                    image.write(address, bytes);
                else
                    image.add(address, bytes);
                rowRead();
            } catch (...) {
                PQclear(result);
                throw;
            }
        } else if (status != PGRES_TUPLES_OK) {
            raisePostgres(db, conn, result);
        }
        PQclear(result);
    }
}

} // namespace

void LoadImageRows(Connection& db, Owner owner, qint64 ownerId, MemImage& image, bool write,
                   Interaction* ui) {
    const ItemTables& t = TablesOf(owner);
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    const std::string what =
        ui ? tr("database/Messages/loadingImage/text", "Loading the image") : std::string();
    if (ui) {
        QSqlQuery count =
            db.execute(QString("SELECT COUNT(*) FROM [%1] WHERE [%2] = ?").arg(t.rows, t.id), {ownerId});
        total = count.next() ? count.value(0).toULongLong() : 0;
    }
    const auto rowRead = [&] {
        // Often enough to keep a window painted, rarely enough to cost nothing.
        if (ui && ++done % 8192 == 0 && done < total)
            ui->progress(what, done, total);
    };
    if (db.engine() == DatabaseEngine::PostgreSQL) {
        loadRowsPostgres(db, t, ownerId, image, write, rowRead);
    } else {
        QSqlQuery q =
            db.execute(QString("SELECT [Address], [Bytes] FROM [%1] WHERE [%2] = ? ORDER BY [Address]")
                           .arg(t.rows, t.id),
                       {ownerId});
        while (q.next()) {
            const auto address = static_cast<std::uint32_t>(q.value(0).toLongLong());
            const QByteArray bytes = q.value(1).toByteArray();
            const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                     static_cast<std::size_t>(bytes.size()));
            if (write)
                image.write(address, span);
            else
                image.add(address, span);
            rowRead();
        }
    }
    if (ui)
        ui->progress(what, total, total);
}

} // namespace zep::ImageStore
