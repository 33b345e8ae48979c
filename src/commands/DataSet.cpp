#include "commands/DataSet.h"

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "database/ItemKey.h"
#include "database/Sql.h"
#include "memory/Hex.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

#include <algorithm>
#include <limits>
#include <vector>

namespace zep::DataSet {

namespace {

std::optional<qint64> single(Connection& db, const QString& statement, qint64 id) {
    QSqlQuery q = db.execute(statement, {id});
    std::optional<qint64> value;
    while (q.next()) // the last row's, as the command always took it
        value = q.value(0).toLongLong();
    return value;
}

std::string trimmedBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

/** a decimal or hexadecimal text of digits only; the value saturates instead of overflowing */
std::optional<std::uint64_t> parseDigits(const std::string& text, unsigned base) {
    const std::string digits = trimmedBlanks(text);
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int d = hex::digitValue(c);
        if (d < 0 || static_cast<unsigned>(d) >= base)
            return std::nullopt;
        if (value > (std::numeric_limits<std::uint64_t>::max() - static_cast<unsigned>(d)) / base)
            value = std::numeric_limits<std::uint64_t>::max();
        else
            value = value * base + static_cast<unsigned>(d);
    }
    return value;
}

} // namespace

std::optional<Target> FindTarget(Connection& db, const std::string& itemKey,
                                 const std::string& treeSelection) {
    const auto key = ItemKey::parse(itemKey);
    if (!key)
        return std::nullopt;
    Target target;
    if (key->kind == ItemKey::Tuning) {
        const auto appId =
            single(db, QStringLiteral("SELECT [App Id] FROM [Calibrations] WHERE [Calib Id] = ?"), key->id);
        if (!appId)
            return std::nullopt;
        target.appId = *appId;
        target.tuning = true;
    } else if (key->kind == ItemKey::Application && !treeSelection.empty()) {
        target.appId = key->id;
        target.tuning = itemKey == treeSelection;
    } else {
        return std::nullopt;
    }
    const auto ecuId =
        single(db,
               QStringLiteral("SELECT h.[Ecu Id] FROM [Hardwares] h INNER JOIN [Applications] a"
                              " ON h.[Ecu Id] = a.[Ecu Id] WHERE a.[App Id] = ?"),
               target.appId);
    if (!ecuId)
        return std::nullopt;
    target.ecuId = *ecuId;
    EcuStore::Read(db, target.ecuId, target.ecu);
    return target;
}

std::uint64_t MaxSize(const ZEPEcu& ecu, bool tuning) {
    return ecu.WriteMap(tuning).byteCount();
}

std::string EraseByteValue(const ZEPEcu& ecu) {
    return ecu.FillPattern.toHex().substr(0, 2);
}

Input CheckInput(const std::string& lengthText, std::uint64_t maxSize, const std::string& byteText) {
    Input input;
    const auto refuse = [&input](Field field, std::string message) {
        input.field = field;
        input.error = std::move(message);
        return input;
    };
    const auto length = parseDigits(lengthText, 10);
    if (!length)
        return refuse(Field::Length,
                      tr("frmCreateTestDataSet/Messages/lengthNotNumeric/text", "Length should be numeric"));
    if (*length > maxSize)
        return refuse(Field::Length, tr("frmCreateTestDataSet/Messages/lengthTooLarge/text",
                                        "Length should be less or equal to max size ({0}).", maxSize));
    const auto byte = parseDigits(byteText, 16);
    if (!byte)
        return refuse(Field::ByteValue, tr("frmCreateTestDataSet/Messages/byteNotNumeric/text",
                                           "Byte value should be numeric."));
    if (*byte > 0xFF)
        return refuse(Field::ByteValue, tr("frmCreateTestDataSet/Messages/error/text", "Error: {0}{crlf}{1}",
                                           6, tr("common/overflow/text", "Overflow")));
    input.length = *length;
    input.byte = static_cast<std::uint8_t>(*byte);
    return input;
}

MemImage BuildImage(const MemMap& writeMap, std::uint64_t length, std::uint8_t byte) {
    MemImage image;
    std::vector<std::uint8_t> fill;
    std::uint64_t total = 0;
    for (const MemRange& range : writeMap) {
        const std::uint64_t take = std::min(range.count, length - total);
        fill.assign(static_cast<std::size_t>(take), byte);
        image.add(range.address, fill);
        total += take;
        if (total >= length)
            break;
    }
    return image;
}

std::string DummyName(const QDateTime& when, std::uint64_t size, std::uint8_t byte) {
    return "DUMMY_" + when.toString(QStringLiteral("yyyyMMdd_HHmmss")).toStdString() + "_of_" +
           std::to_string(size) + "_bytes_0x" + hex::withWidth(byte, 2);
}

qint64 AddDummyDataSet(Connection& db, qint64 ecuId, qint64 appId, const MemImage& image, const ZEPEcu& ecu,
                       std::uint8_t byte, bool tuning, const QDateTime& when, Interaction* ui) {
    const QString name = QString::fromStdString(DummyName(when, image.byteCount(), byte));
    const QString comment =
        tuning ? QString::fromStdString(
                     tr("frmCreateTestDataSet/Messages/tuningComment/text",
                        "This is a dummy tuning data set! Use only for tool performance test."))
               : QString::fromStdString(
                     tr("frmCreateTestDataSet/Messages/globalComment/text",
                        "This is a dummy global data set! Use only for tool performance test."));
    const QString statement = tuning ? QStringLiteral("INSERT INTO [Calibrations] ([App Id], [Calib Name], ")
                                     : QStringLiteral("INSERT INTO [Applications] ([Ecu Id], [App Name], ");
    const QString counter = tuning ? QStringLiteral("[Calib Id]") : QStringLiteral("[App Id]");
    return db.transaction([&] {
        const qint64 id = db.insert(
            statement +
                QStringLiteral("[PIE], [Indice Diag], [Code Fournisseur], [Hardware], [Software],"
                               " [Version], [Calibration], [Réserve], [Homologation], [IdentValide],"
                               " [Commentaire], [SupplierHex])"
                               " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING ") +
                counter,
            {tuning ? appId : ecuId, name, QStringLiteral("0000000000"), 0,
             sql::nullableText(ecu.CodeFournisseur), QStringLiteral("0000000000"), QStringLiteral("0000"),
             QStringLiteral("0000"), QStringLiteral("0000"), QStringLiteral("00000000"),
             QStringLiteral("0000000000"), false, comment, sql::text(ecu.SupplierHex)});
        ImageStore::StoreImageRows(db, tuning ? ImageStore::Owner::Tuning : ImageStore::Owner::Application,
                                   id, image, ui);
        return id;
    });
}

} // namespace zep::DataSet
