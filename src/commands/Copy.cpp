#include "commands/Copy.h"
#include "database/ImageStore.h"

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ItemKey.h"
#include "database/SchemaUpgrade.h"
#include "database/Sql.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <vector>

namespace zep::Copy {

namespace {

using ImageStore::ItemTables;
const ItemTables& applications = ImageStore::TablesOf(ImageStore::Owner::Application);
const ItemTables& tunings = ImageStore::TablesOf(ImageStore::Owner::Tuning);

/** a text column as it is, Null included, whatever engine it was read from */
QVariant textOf(const QSqlRecord& row, const char* column) {
    const QVariant v = row.value(QString::fromUtf8(column));
    return v.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(v.toString());
}

QVariant integerOf(const QSqlRecord& row, const char* column) {
    const QVariant v = row.value(QString::fromUtf8(column));
    return v.isNull() ? QVariant(QMetaType(QMetaType::Int)) : QVariant(v.toInt());
}

/** the item's row, read to the end so that the source connection is free for other statements */
QSqlRecord itemRow(Connection& db, const ItemTables& t, qint64 id) {
    QSqlQuery q = db.execute(QString("SELECT * FROM [%1] WHERE [%2] = ?").arg(t.items, t.id), {id});
    if (!q.next())
        throw ZepError(errors::File, &t == &applications ? tr("database/Messages/noSuchApplication/text",
                                                              "Application {0} does not exist", id)
                                                         : tr("database/Messages/noSuchTuning/text",
                                                              "Tuning {0} does not exist", id));
    const QSqlRecord row = q.record();
    q.finish();
    return row;
}

/** the fourteen fields of a source row under a new owner; the new row's counter */
qint64 insertItem(Connection& target, const ItemTables& t, qint64 ownerId, const QSqlRecord& row) {
    // A central database not yet upgraded has no SupplierHex: derive it as the upgrade would.
    QVariant supplierHex = textOf(row, "SupplierHex");
    if (row.indexOf(QStringLiteral("SupplierHex")) < 0)
        supplierHex =
            QString::fromStdString(supplierHexOf(sql::text(row.value(QStringLiteral("Code Fournisseur")))));
    return target.insert(
        QString(
            "INSERT INTO [%1] ([%2], [%3], [PIE], [Indice Diag], [Code Fournisseur], [Hardware], [Software],"
            " [Version], [Calibration], [Réserve], [Homologation], [IdentValide], [Commentaire], "
            "[SupplierHex])"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING [%4]")
            .arg(t.items, t.owner, t.name, t.id),
        {ownerId, textOf(row, t.name), textOf(row, "PIE"), integerOf(row, "Indice Diag"),
         textOf(row, "Code Fournisseur"), textOf(row, "Hardware"), textOf(row, "Software"),
         textOf(row, "Version"), textOf(row, "Calibration"), textOf(row, "Réserve"),
         textOf(row, "Homologation"), row.value(QStringLiteral("IdentValide")).toBool(),
         textOf(row, "Commentaire"), supplierHex});
}

/**
 * Image rows go in batches of one multi-row INSERT each: a 16 MiB image of 32-byte blocks is half a
 * million rows, and a statement a row would cost a server round trip each.
 */
class RowWriter {
public:
    static constexpr int batch = 200;

    RowWriter(Connection& db, const ItemTables& t)
        : db_(db), t_(t), full_(db.database()), partial_(db.database()) {
        prepare(full_, batch);
    }

    void add(qint64 ownerId, qint64 address, const QVariant& bytes) {
        pending_.push_back(ownerId);
        pending_.push_back(address);
        pending_.push_back(bytes);
        if (pending_.size() == 3 * batch)
            flush();
    }

    void flush() {
        const int rows = static_cast<int>(pending_.size() / 3);
        if (rows == 0)
            return;
        QSqlQuery& q = rows == batch ? full_ : partial_;
        if (rows != batch)
            prepare(q, rows);
        for (int i = 0; i < 3 * rows; ++i)
            q.bindValue(i, pending_[i]);
        if (!q.exec())
            db_.raise(q.lastError());
        pending_.clear();
    }

private:
    void prepare(QSqlQuery& q, int rows) {
        QString s = QString("INSERT INTO [%1] ([%2], [Address], [Bytes]) VALUES ").arg(t_.rows, t_.id);
        for (int i = 0; i < rows; ++i)
            s += i == 0 ? QLatin1String("(?, ?, ?)") : QLatin1String(", (?, ?, ?)");
        if (!q.prepare(db_.sql(s)))
            db_.raise(q.lastError());
    }

    Connection& db_;
    const ItemTables& t_;
    QSqlQuery full_, partial_;
    QVariantList pending_;
};

QVariant bytesOf(const QVariant& v) {
    return v.isNull() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(v.toByteArray());
}

void copyImageRows(Connection& source, const ItemTables& t, qint64 sourceId, RowWriter& writer,
                   qint64 targetId, Interaction* ui, bool sameConnection) {
    std::uint64_t total = 0;
    if (ui) {
        QSqlQuery count =
            source.execute(QString("SELECT count(*) FROM [%1] WHERE [%2] = ?").arg(t.rows, t.id), {sourceId});
        total = count.next() ? count.value(0).toULongLong() : 0;
    }
    const std::string what = tr("database/Messages/copyingImage/text", "Copying the image");
    QSqlQuery rows = source.execute(
        QString("SELECT [Address], [Bytes] FROM [%1] WHERE [%2] = ? ORDER BY [Address]").arg(t.rows, t.id),
        {sourceId});

    std::uint64_t done = 0;
    const auto report = [&] {
        if (ui && (++done % 4096 == 0 || done == total))
            ui->progress(what, done, total);
    };
    if (!sameConnection) {
        while (rows.next()) {
            writer.add(targetId, rows.value(0).toLongLong(), bytesOf(rows.value(1)));
            report();
        }
    } else {
        // SQLite leaves undefined what a statement reads from a table that its own connection writes
        // into meanwhile: read every row before writing.
        std::vector<std::pair<qint64, QVariant>> all;
        while (rows.next())
            all.emplace_back(rows.value(0).toLongLong(), bytesOf(rows.value(1)));
        rows.finish();
        for (const auto& [address, bytes] : all) {
            writer.add(targetId, address, bytes);
            report();
        }
    }
    writer.flush();
    if (ui && total == 0)
        ui->progress(what, 0, 0);
}

qint64 copyItem(Connection& source, const ItemTables& t, qint64 sourceId, Connection& target, qint64 ownerId,
                Interaction* ui) {
    const QSqlRecord row = itemRow(source, t, sourceId);
    // The writer's statements outlive the transaction: PostgreSQL cannot free them inside a failed one.
    RowWriter writer(target, t);
    return target.transaction([&] {
        const qint64 id = insertItem(target, t, ownerId, row);
        copyImageRows(source, t, sourceId, writer, id, ui, &source == &target);
        return id;
    });
}

[[noreturn]] void refuse(const std::string& text) {
    throw ZepError(errors::InvalidArgument, text);
}

} // namespace

bool CopyFunction(Connection& source, int address, Connection& target) {
    if (target.isCentral())
        refuse(tr("database/Messages/copy/centralFunction/text",
                  "Functions cannot be copied into a central database ({0})", target.dataSource()));
    const QString select = QStringLiteral("SELECT [Address], [Name] FROM [Fonctions] WHERE [Address] = ?");
    QSqlQuery existing = target.execute(select, {address});
    if (existing.next())
        return false;
    existing.finish();
    QSqlQuery from = source.execute(select, {address});
    if (!from.next())
        throw ZepError(errors::File,
                       tr("database/Messages/noSuchFunction/text", "Function {0} does not exist", address));
    const QVariant name = textOf(from.record(), "Name");
    from.finish();
    target.transaction([&] {
        target.execute(QStringLiteral("INSERT INTO [Fonctions] ([Address], [Name]) VALUES (?, ?)"),
                       {address, name});
    });
    return true;
}

qint64 CopyEcu(Connection& source, qint64 sourceEcuId, Connection& target) {
    const ZEPEcu ecu = EcuStore::Read(source, sourceEcuId);
    return target.transaction([&] {
        const qint64 id = EcuStore::Insert(target, ecu);
        EcuStore::CopyMemoryMap(source, sourceEcuId, target, id);
        return id;
    });
}

qint64 CopyApplication(Connection& source, qint64 sourceAppId, Connection& target, qint64 targetEcuId,
                       Interaction* ui) {
    return copyItem(source, applications, sourceAppId, target, targetEcuId, ui);
}

qint64 CopyTuning(Connection& source, qint64 sourceCalibId, Connection& target, qint64 targetAppId,
                  Interaction* ui) {
    return copyItem(source, tunings, sourceCalibId, target, targetAppId, ui);
}

Update UpdateEcuParameters(Connection& source, qint64 sourceEcuId, Connection& target, qint64 targetEcuId,
                           const std::string& targetSelection, Interaction& ui) {
    const ZEPEcu ecu = EcuStore::Read(source, sourceEcuId);
    if (targetSelection != ItemKey{ItemKey::Function, ecu.Address}.text()) {
        ui.inform(
            tr("frmDatabase/Messages/modifyEcu/invalidFunctionName/text", "Not corresponding function."));
        return Update::NotCorrespondingFunction;
    }
    QSqlQuery row =
        target.execute(QStringLiteral("SELECT [Nom] FROM [Hardwares] WHERE [Ecu Id] = ?"), {targetEcuId});
    if (!row.next())
        throw ZepError(errors::File,
                       tr("database/Messages/noSuchEcu/text", "ECU {0} does not exist", targetEcuId));
    const std::string targetName = sql::text(row.value(0));
    row.finish();
    if (targetName != ecu.Nom) {
        ui.inform(tr("frmDatabase/Messages/modifyEcu/invalidEcuName/text", "Not corresponding ECU name."));
        return Update::NotCorrespondingEcuName;
    }
    if (ui.ask(
            tr("frmDatabase/Messages/modifyEcu/queryUpdate/text", "Do you want to update ECU parameters ?"),
            Buttons::OkCancel, Answer::Cancel) != Answer::Ok)
        return Update::Cancelled;

    target.transaction([&] {
        EcuStore::Update(target, targetEcuId, ecu);
        // The exclusions go with their mappings (a trigger of the schema).
        target.execute(QStringLiteral("DELETE FROM [Mappings] WHERE [Ecu Id] = ?"), {targetEcuId});
        EcuStore::CopyMemoryMap(source, sourceEcuId, target, targetEcuId);
    });
    return Update::Done;
}

Copied CopyInto(Connection& source, const std::string& draggedKey, Connection& target,
                const std::string& targetSelection, Interaction* ui) {
    const auto dragged = ItemKey::parse(draggedKey);
    const auto into = ItemKey::parse(targetSelection);
    const auto refused = [&] {
        refuse(tr("database/Messages/copy/refused/text", "{0} cannot be copied into {1}", draggedKey,
                  targetSelection));
    };
    if (!dragged || !into)
        refused();
    const bool sameConnection = &source == &target;

    switch (dragged->kind) {
    case ItemKey::Function: {
        if (into->kind != ItemKey::Root || sameConnection)
            refused();
        const bool added = CopyFunction(source, static_cast<int>(dragged->id), target);
        return {draggedKey, added};
    }
    case ItemKey::Ecu: {
        if (into->kind != ItemKey::Function || sameConnection)
            refused();
        // An ECU goes into the function it belongs to.
        QSqlQuery q = source.execute(QStringLiteral("SELECT [Address] FROM [Hardwares] WHERE [Ecu Id] = ?"),
                                     {dragged->id});
        if (!q.next())
            throw ZepError(errors::File,
                           tr("database/Messages/noSuchEcu/text", "ECU {0} does not exist", dragged->id));
        const qint64 address = q.value(0).toLongLong();
        q.finish();
        if (address != into->id)
            refuse(tr("database/Messages/copy/otherFunction/text",
                      "The ECU {0} belongs to the function {1}, not to {2}", dragged->id, address, into->id));
        return {ItemKey{ItemKey::Ecu, CopyEcu(source, dragged->id, target)}.text(), false};
    }
    case ItemKey::Application:
        if (into->kind != ItemKey::Ecu)
            refused();
        return {
            ItemKey{ItemKey::Application, CopyApplication(source, dragged->id, target, into->id, ui)}.text(),
            false};
    case ItemKey::Tuning:
        if (into->kind != ItemKey::Application)
            refused();
        return {ItemKey{ItemKey::Tuning, CopyTuning(source, dragged->id, target, into->id, ui)}.text(),
                false};
    default:
        refused();
    }
    return {};
}

} // namespace zep::Copy
