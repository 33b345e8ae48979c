#include "EcuStore.h"

#include "database/Connection.h"
#include "database/Sql.h"
#include "memory/ZepError.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

namespace zep::EcuStore {

namespace {

QByteArray bytesOf(const MemBlock& block) {
    return QByteArray(reinterpret_cast<const char*>(block.bytes().data()),
                      static_cast<qsizetype>(block.length()));
}

void setBlock(MemBlock& block, const QVariant& v) {
    const QByteArray b = v.isNull() ? QByteArray() : v.toByteArray();
    block.setBytes(
        {reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())});
}

/** a value of a column that may be missing in a database not yet upgraded */
std::optional<QVariant> tolerant(const QSqlRecord& row, const char* column) {
    const int i = row.indexOf(QString::fromUtf8(column));
    if (i < 0 || row.isNull(i))
        return std::nullopt;
    return row.value(i);
}

QVariantList parameterValues(const ZEPEcu& ecu) {
    return {
        int(ecu.Address),         sql::nullableText(ecu.CodeFournisseur),
        sql::text(ecu.Nom),       sql::text(ecu.Commentaire),
        ecu.InterByteDelay,       ecu.ReplyToRequestDelay,
        bytesOf(ecu.FillPattern), ecu.WriteGranularity,
        int(ecu.UploadRL),        sql::nullableBytes(bytesOf(ecu.RepeatPattern)),
        ecu.IdentificationType,   sql::text(ecu.SupplierHex),
    };
}

constexpr const char* parameterColumns =
    "[Address], [Code Fournisseur], [Nom], [Commentaire], [InterByteDelay], [ReplyToRequestDelay], "
    "[FillPattern], [WriteGranularity], [UploadRL], [RepeatPattern], [IdentificationType], [SupplierHex]";

} // namespace

void ReadFrom(Connection& db, const QSqlRecord& row, ZEPEcu& ecu) {
    ecu.Address = static_cast<std::uint8_t>(row.value("Address").toInt());
    ecu.CodeFournisseur = sql::optionalText(row.value("Code Fournisseur"));
    ecu.Nom = sql::text(row.value("Nom"));
    ecu.Commentaire = sql::text(row.value("Commentaire"));
    ecu.InterByteDelay = row.value("InterByteDelay").toInt();
    ecu.ReplyToRequestDelay = row.value("ReplyToRequestDelay").toInt();
    setBlock(ecu.FillPattern, row.value("FillPattern"));
    setBlock(ecu.RepeatPattern, row.value("RepeatPattern"));
    ecu.WriteGranularity = row.value("WriteGranularity").toInt();

    // Columns the schema upgrade adds: missing or unreadable values leave the field as it was.
    ecu.UploadRL = ZEPEcu::UploadWithCrc;
    bool ok = false;
    if (const auto v = tolerant(row, "UploadRL")) {
        const int n = v->toInt(&ok);
        if (ok && n >= 0 && n <= 255)
            ecu.UploadRL = static_cast<std::uint8_t>(n);
    }
    if (const auto v = tolerant(row, "IdentificationType")) {
        const int n = v->toInt(&ok);
        if (ok)
            ecu.IdentificationType = n;
    }
    if (const auto v = tolerant(row, "SupplierHex"))
        ecu.SupplierHex = sql::trimmed(v->toString().toStdString());

    ecu.clearMaps();
    QSqlQuery maps =
        db.execute("SELECT m.[Address], m.[Count], m.[Calibration], e.[Address], e.[Count], e.[Contrôle]"
                   " FROM [Mappings] m LEFT JOIN [Exclusions] e ON m.[Ecu Id] = e.[Ecu Id] AND m.[Address] = "
                   "e.[ZAddress]"
                   " AND m.[Count] = e.[ZCount] WHERE m.[Ecu Id] = ? ORDER BY m.[Address], e.[Address]",
                   {row.value("Ecu Id")});
    // Two mappings at the same address count as one: the first one's count and side are used.
    std::optional<qint64> previous;
    while (maps.next()) {
        const qint64 address = maps.value(0).toLongLong();
        const bool tuning = !maps.value(2).isNull() && maps.value(2).toBool();
        if (address != previous) {
            previous = address;
            ecu.addMapping(static_cast<std::uint32_t>(address),
                           static_cast<std::uint32_t>(maps.value(1).toLongLong()), tuning);
        }
        if (!maps.value(3).isNull() && !maps.value(5).isNull() && maps.value(5).toLongLong() == 0)
            ecu.addExclusion(static_cast<std::uint32_t>(maps.value(3).toLongLong()),
                             static_cast<std::uint32_t>(maps.value(4).toLongLong()), tuning);
    }
}

void Read(Connection& db, qint64 ecuId, ZEPEcu& ecu) {
    QSqlQuery q = db.execute("SELECT * FROM [Hardwares] WHERE [Ecu Id] = ?", {ecuId});
    if (!q.next())
        throw ZepError(errors::File, tr("database/Messages/noSuchEcu/text", "ECU {0} does not exist", ecuId));
    ReadFrom(db, q.record(), ecu);
}

ZEPEcu Read(Connection& db, qint64 ecuId) {
    ZEPEcu ecu;
    Read(db, ecuId, ecu);
    return ecu;
}

qint64 Insert(Connection& db, const ZEPEcu& ecu) {
    return db.insert(QString("INSERT INTO [Hardwares] (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                             " RETURNING [Ecu Id]")
                         .arg(QLatin1String(parameterColumns)),
                     parameterValues(ecu));
}

void Update(Connection& db, qint64 ecuId, const ZEPEcu& ecu) {
    QVariantList values = parameterValues(ecu);
    values.push_back(ecuId);
    db.execute("UPDATE [Hardwares] SET [Address] = ?, [Code Fournisseur] = ?, [Nom] = ?, [Commentaire] = ?,"
               " [InterByteDelay] = ?, [ReplyToRequestDelay] = ?, [FillPattern] = ?, [WriteGranularity] = ?,"
               " [UploadRL] = ?, [RepeatPattern] = ?, [IdentificationType] = ?, [SupplierHex] = ?"
               " WHERE [Ecu Id] = ?",
               values);
}

void CopyMemoryMap(Connection& source, qint64 sourceEcuId, Connection& target, qint64 targetEcuId) {
    // Each engine gives its own types back (SQLite a Boolean as an integer, which PostgreSQL refuses
    // for a boolean column): every value is turned into the column's type before it is written.
    const auto number = [](const QVariant& v) {
        return v.isNull() ? QVariant(QMetaType(QMetaType::LongLong)) : QVariant(v.toLongLong());
    };
    const auto boolean = [](const QVariant& v) {
        return v.isNull() ? QVariant(QMetaType(QMetaType::Bool)) : QVariant(v.toBool());
    };
    QSqlQuery maps = source.execute(
        "SELECT [Address], [Count], [Calibration] FROM [Mappings] WHERE [Ecu Id] = ?", {sourceEcuId});
    while (maps.next())
        target.execute(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
            {targetEcuId, number(maps.value(0)), number(maps.value(1)), boolean(maps.value(2))});
    QSqlQuery exclusions = source.execute(
        "SELECT [ZAddress], [ZCount], [Address], [Count], [Contrôle], [Calibration] FROM [Exclusions]"
        " WHERE [Ecu Id] = ?",
        {sourceEcuId});
    while (exclusions.next())
        target.execute(
            "INSERT INTO [Exclusions] ([Ecu Id], [ZAddress], [ZCount], [Address], [Count], [Contrôle],"
            " [Calibration]) VALUES (?, ?, ?, ?, ?, ?, ?)",
            {targetEcuId, number(exclusions.value(0)), number(exclusions.value(1)),
             number(exclusions.value(2)), number(exclusions.value(3)), number(exclusions.value(4)),
             boolean(exclusions.value(5))});
}

} // namespace zep::EcuStore
