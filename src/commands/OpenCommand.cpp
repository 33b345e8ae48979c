#include "OpenCommand.h"

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "flash/EcuApplication.h"
#include "flash/FileKind.h"
#include "flash/FlashFile.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <filesystem>

namespace zep {

namespace {

std::size_t characters(const std::string& utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

void warnAboutSRecordParameters(const ZEPEcu& file, const ZEPEcu& stored, Interaction& ui) {
    if (file.InterByteDelay != stored.InterByteDelay)
        ui.warn(tr("frmDatabase/Messages/erroneousInterbyteDelay/text", "Erroneous Interbyte delay : {0} ms",
                   file.InterByteDelay));
    if (file.ReplyToRequestDelay != stored.ReplyToRequestDelay)
        ui.warn(tr("frmDatabase/Messages/erroneousReplyToRequestDelay/text",
                   "Erroneous reply to request delay : {0} ms", file.ReplyToRequestDelay));
    if (file.FillPattern.toHex() != stored.FillPattern.toHex())
        ui.warn(tr("frmDatabase/Messages/erroneousErasedState/text", "Erroneous erased state : {0}",
                   file.FillPattern.toHex()));
    if (file.WriteGranularity != stored.WriteGranularity)
        ui.warn(tr("frmDatabase/Messages/erroneousDownloadSize/text", "Erroneous download size : {0}",
                   file.WriteGranularity));
}

void warnAboutKwpParameters(const ZEPEcu& file, const ZEPEcu& stored, Interaction& ui) {
    if (file.Address != stored.Address)
        ui.warn(tr("frmDatabase/Messages/doOpen/erroneousAddressCode/text", "Erroneous address code : {0}H",
                   hex::number(file.Address)));
    if (file.InterByteDelay != stored.InterByteDelay)
        ui.warn(tr("frmDatabase/Messages/doOpen/errroneousInterbyteDelay/text",
                   "Erroneous Interbyte delay : {0} ms", file.InterByteDelay));
    if (file.ReplyToRequestDelay != stored.ReplyToRequestDelay)
        ui.warn(tr("frmDatabase/Messages/doOpen/errroneousReplyToRequestDelay/text",
                   "Erroneous reply to request delay : {0} ms", file.ReplyToRequestDelay));
}

/** reads the file into app by its kind; false for a kind that is not a flash file */
bool import(const std::string& path, FileKind kind, EcuApplication& app, const ZEPEcu& stored,
            Interaction& ui) {
    // The parameter warnings come after the import whatever its outcome; its error comes after them.
    std::optional<ZepError> failure;
    try {
        switch (kind) {
        case FileKind::SRecord:
            app.ImportFromSFile(path, ui);
            break;
        case FileKind::Kwp:
            app.ImportFromKWPFile(path);
            break;
        case FileKind::H86:
            app.ImportFromH86File(path, ui);
            break;
        case FileKind::Xml:
        case FileKind::None:
            return false;
        }
    } catch (const ZepError& e) {
        failure = e;
    }
    if (kind == FileKind::SRecord)
        warnAboutSRecordParameters(app.Ecu(), stored, ui);
    else if (kind == FileKind::Kwp)
        warnAboutKwpParameters(app.Ecu(), stored, ui);
    if (failure)
        throw *failure;
    return true;
}

} // namespace

OpenResult OpenFlashFile(Connection& db, qint64 ecuId, std::optional<qint64> application,
                         const std::string& path, Interaction& ui) {
    OpenResult result;
    result.ecuId = ecuId;
    try {
        const FileKind kind = fileKind(path);
        if (kind != FileKind::SRecord && kind != FileKind::Kwp && kind != FileKind::H86)
            return result;
        EcuApplication app;
        const ZEPEcu stored = EcuStore::Read(db, ecuId);
        EcuStore::Read(db, ecuId, app.Ecu());
        import(path, kind, app, stored, ui);

        const std::string title = std::filesystem::path(path).filename().string();
        if (characters(title) > MaxFileTitleLength) {
            ui.warn(tr("frmDatabase/Messages/doOpen/tooLongFilename/text",
                       "Filename is too long ({0} char max).{crlf}Please rename-it.",
                       MaxFileTitleLength + 1));
            return result;
        }

        const ImageStore::NewItem item{title, false, std::string()};
        if (app.EstCalibration() && !application)
            ui.warn(tr("frmDatabase/Messages/doOpen/warningDummyApplication/text",
                       "Tuning file will be located under a dummy Global file."));
        db.transaction([&] {
            if (!app.EstCalibration()) {
                const qint64 appId =
                    ImageStore::AddItemRow(db, ImageStore::Owner::Application, ecuId, item, app);
                ImageStore::StoreImageRows(db, ImageStore::Owner::Application, appId, app.value(), &ui);
                result.application = ItemKey{ItemKey::Application, appId};
                return;
            }
            qint64 appId = application.value_or(0);
            if (!application) {
                appId = ImageStore::AddItemRow(db, ImageStore::Owner::Application, ecuId, item, app);
                result.application = ItemKey{ItemKey::Application, appId};
            }
            const qint64 calibId = ImageStore::AddItemRow(db, ImageStore::Owner::Tuning, appId, item, app);
            ImageStore::StoreImageRows(db, ImageStore::Owner::Tuning, calibId, app.value(), &ui);
            result.tuning = ItemKey{ItemKey::Tuning, calibId};
        });
    } catch (const ZepError& e) {
        ui.critical(e.description());
        return OpenResult{std::nullopt, std::nullopt, ecuId};
    }
    return result;
}

} // namespace zep
