#include "commands/Compaction.h"

#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace zep::Compaction {

namespace {

std::string errorMessage(long long number, const std::string& description) {
    return tr("frmDatabase/Messages/compactDB/error/text",
              "DB compact error!{crlf}Error number: {0}{crlf}{1}", number, description);
}

Outcome failed(const QSqlError& error) {
    bool ok = false;
    const int number = error.nativeErrorCode().toInt(&ok);
    QString description = error.databaseText().trimmed();
    if (description.isEmpty())
        description = error.driverText().trimmed();
    return {false, errorMessage(ok ? number : 1 /* SQLITE_ERROR */, description.toStdString())};
}

Outcome failed(const std::error_code& error) {
    return {false, errorMessage(error.value(), error.message())};
}

/** VACUUM INTO from the source opened read-only */
Outcome vacuumInto(const std::string& source, const std::string& destination) {
    static std::atomic<unsigned> counter{0};
    const QString name = QStringLiteral("zep-compaction-%1").arg(++counter);
    Outcome outcome;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // mode=ro never makes a file: a missing source fails here.
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        db.setDatabaseName(QUrl::fromLocalFile(QFileInfo(QString::fromStdString(source)).absoluteFilePath())
                               .toString(QUrl::FullyEncoded) +
                           QStringLiteral("?mode=ro"));
        if (!db.open()) {
            outcome = failed(db.lastError());
        } else {
            QSqlQuery vacuum(db);
            if (!vacuum.prepare(QStringLiteral("VACUUM INTO ?")))
                outcome = failed(vacuum.lastError());
            else {
                vacuum.addBindValue(QString::fromStdString(destination));
                outcome = vacuum.exec() ? Outcome{true, {}} : failed(vacuum.lastError());
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return outcome;
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec))
        return fs::equivalent(a, b, ec);
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec) && !ec;
}

} // namespace

Outcome CompactDatabase(const std::string& source, const std::string& destination) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return {false, tr("frmDatabase/Messages/compactDB/createObjectError/text",
                          "CreateObject error!{crlf}Error number: {1}{crlf}{2}", "", 1,
                          "The SQLite driver of Qt is not installed")};

    // The copy is written in a folder of its own beside the destination, then renamed onto it, so
    // that a failure never leaves a partial file under the destination's name.
    const fs::path target = fs::absolute(fs::path(destination));
    std::string pattern = (target.parent_path() / ".zep-compact-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return failed(std::error_code(errno, std::generic_category()));
    const fs::path folder = pattern;
    const fs::path partial = folder / "compacted.zdb";

    Outcome outcome = vacuumInto(source, partial.string());
    if (outcome.succeeded) {
        std::error_code ec;
        fs::rename(partial, target, ec);
        if (ec)
            outcome = failed(ec);
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    if (outcome.succeeded)
        outcome.message = tr("frmDatabase/Messages/compactDB/success/text",
                             "DB compact sucess!{crlf}Compacted database filename is:{crlf}{0}", destination);
    return outcome;
}

std::optional<std::string> PrepareDestination(const std::string& source, std::string destination,
                                              Interaction& ui) {
    std::replace_if(
        destination.begin(), destination.end(), [](char c) { return c == '*' || c == '?'; }, '/');
    if (sameFile(source, destination))
        return std::nullopt;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(destination, ec))) {
        const std::string question =
            tr("frmDatabase/Messages/compactDB/warning/text",
               "Destination filename{crlf}{0}{crlf}already exist!{crlf}{crlf}Overwrite-it ?", destination);
        if (ui.ask(question, Buttons::YesNo, Answer::No) != Answer::Yes)
            return std::nullopt;
        if (fs::is_directory(fs::symlink_status(destination, ec)))
            ec = std::make_error_code(std::errc::is_a_directory);
        else if (!fs::remove(destination, ec) && !ec)
            ec = std::make_error_code(std::errc::no_such_file_or_directory);
        if (ec) {
            ui.inform("Error " + std::to_string(ec.value()) + "\r\n" + ec.message());
            return std::nullopt;
        }
    }
    return destination;
}

std::optional<Outcome> Compact(const std::string& source, const std::string& destination, Interaction& ui) {
    const std::optional<std::string> target = PrepareDestination(source, destination, ui);
    if (!target)
        return std::nullopt;
    Outcome outcome = CompactDatabase(source, *target);
    ui.inform(outcome.message);
    return outcome;
}

} // namespace zep::Compaction
