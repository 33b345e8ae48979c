#include "ImageStore.h"

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/Sql.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QSqlError>
#include <QSqlQuery>

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
    app.setPIE(sql::text(row.value("PIE")));
    app.setIndiceDiag(static_cast<std::uint8_t>(row.value("Indice Diag").toInt()));
    app.setFournisseur(supplierText(row.value("Code Fournisseur")));
    if (row.indexOf("SupplierHex") >= 0 && !row.isNull("SupplierHex")) {
        app.setFournisseurHex(sql::trimmed(sql::text(row.value("SupplierHex"))));
    }
    app.setHardware(sql::text(row.value("Hardware")));
    app.setSoftware(sql::text(row.value("Software")));
    app.setVersion(sql::text(row.value("Version")));
    app.setCalibration(sql::text(row.value("Calibration")));
    app.setReserve(sql::text(row.value("Réserve")));
    app.Homologation = sql::text(row.value("Homologation"));
}

EcuApplication Download(Connection& db, const std::string& key, bool tuningOnly, bool* checked) {
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
            LoadImageRows(db, Owner::Application, appId, app.value(), false);
        if (owner == Owner::Tuning)
            LoadImageRows(db, Owner::Tuning, id, app.value(), !tuningOnly);
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

/**
 * PostgreSQL: the rows of a batch travel as two array values, the addresses and the bytes as
 * hexadecimal text, and the server unnests them: a few large statements instead of half a million
 * literals to parse.
 */
void storeRowsUnnested(Connection& db, const ItemTables& t, qint64 ownerId, const MemImage& image, std::size_t from,
                       std::size_t n) {
    QString addresses, bytes;
    addresses.reserve(static_cast<qsizetype>(n * 12 + 2));
    std::string hexText;
    hexText.reserve(n * 70 + 2);
    addresses += QLatin1Char('{');
    hexText += '{';
    for (std::size_t i = 0; i < n; ++i) {
        const ImageBlock block = image[from + i];
        if (i > 0) {
            addresses += QLatin1Char(',');
            hexText += ',';
        }
        addresses += QString::number(static_cast<qint32>(block.first));
        hexText += '"';
        hex::append(hexText, block.bytes);
        hexText += '"';
    }
    addresses += QLatin1Char('}');
    hexText += '}';
    bytes = QString::fromLatin1(hexText.data(), static_cast<qsizetype>(hexText.size()));
    db.execute(QString("INSERT INTO [%1] ([%2], [Address], [Bytes]) SELECT ?, a, decode(h, 'hex')"
                       " FROM unnest(CAST(? AS integer ARRAY), CAST(? AS text ARRAY)) AS u(a, h)")
                   .arg(t.rows, t.id),
               {ownerId, addresses, bytes});
}

} // namespace

void StoreImageRows(Connection& db, Owner owner, qint64 ownerId, const MemImage& image, Interaction* ui) {
    // Rows go in batches: a 16 MiB image of 32-byte blocks is half a million rows, and one statement
    // a row would cost a round trip each. SQLite binds the values of one prepared multi-row INSERT
    // again and again (its cost grows with the square of the parameters of one statement, so batches
    // stay small); PostgreSQL gets large batches as arrays.
    const bool sqlite = db.engine() == DatabaseEngine::SQLite;
    const std::size_t batch = sqlite ? 50 : 20000;
    const ItemTables& t = TablesOf(owner);
    const auto statement = [&t](std::size_t rows) {
        QString s = QString("INSERT INTO [%1] ([%2], [Address], [Bytes]) VALUES ").arg(t.rows, t.id);
        for (std::size_t i = 0; i < rows; ++i)
            s += i == 0 ? QLatin1String("(?, ?, ?)") : QLatin1String(", (?, ?, ?)");
        return s;
    };
    const std::size_t count = image.count();
    const std::string what = tr("database/Messages/storingImage/text", "Storing the image");
    QSqlQuery prepared(db.database()); // full SQLite batches reuse one statement
    bool isPrepared = false;
    QVariantList values;
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(batch, count - done);
        if (!sqlite) {
            storeRowsUnnested(db, t, ownerId, image, done, n);
        } else {
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
        }
        done += n;
        if (ui)
            ui->progress(what, done, count);
    }
}

void LoadImageRows(Connection& db, Owner owner, qint64 ownerId, MemImage& image, bool write) {
    const ItemTables& t = TablesOf(owner);
    QSqlQuery q = db.execute(
        QString("SELECT [Address], [Bytes] FROM [%1] WHERE [%2] = ? ORDER BY [Address]").arg(t.rows, t.id),
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
    }
}

} // namespace zep::ImageStore
