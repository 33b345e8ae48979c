#include "XmlExport.h"

#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ItemKey.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

namespace zep {

namespace {

SegmentEncoding askEncoding(const XmlExportChoices& choices, Interaction& ui) {
    if (choices.encoding)
        return *choices.encoding;
    const bool binHex =
        ui.askYesNo(tr("frmDatabase/Messages/exportXML/binHexEncoding/text",
                       "Save binary data in binHex encoding format ?{crlf}{crlf}If you select NO, "
                       "binary data will be exported in base64 format."),
                    false);
    return binHex ? SegmentEncoding::BinHex : SegmentEncoding::Base64;
}

/** the ECU of the item, for naming its function as the tree does */
qint64 ecuOf(Connection& db, const ItemKey& key) {
    switch (key.kind) {
    case ItemKey::Ecu:
        return key.id;
    case ItemKey::Application:
        return XmlExport::EcuOfApplication(db, key.id);
    default:
        return XmlExport::EcuOfApplication(db, XmlExport::ApplicationOfTuning(db, key.id));
    }
}

} // namespace

bool SaveXml(Connection& db, const std::string& key, const std::string& path, Interaction& ui,
             const XmlExportChoices& choices, const std::optional<std::string>& functionName,
             bool defaultTuning) {
    const auto item = ItemKey::parse(key);
    if (!item ||
        (item->kind != ItemKey::Ecu && item->kind != ItemKey::Application && item->kind != ItemKey::Tuning))
        return true;
    try {
        const SegmentEncoding encoding = askEncoding(choices, ui);
        const std::string function =
            functionName ? *functionName
                         : XmlExport::FunctionText(db, EcuStore::Read(db, ecuOf(db, *item)).Address);
        ExportDocument doc;
        doc.setProgress(&ui);
        if (item->kind == ItemKey::Ecu) {
            XmlExport::Ecu(db, item->id, function, encoding, doc);
        } else if (item->kind == ItemKey::Tuning) {
            const bool tuningOnly = choices.tuningOnly
                                        ? *choices.tuningOnly
                                        : ui.askYesNo(tr("frmDatabase/Messages/exportXML/tuningOnly/text",
                                                         "Export tuning only ?"),
                                                      false);
            XmlExport::Tuning(db, item->id, function, encoding, tuningOnly, doc);
        } else if (defaultTuning) {
            XmlExport::DefaultTuning(db, item->id, function, encoding, doc);
        } else {
            bool withTunings = false;
            if (const int count = XmlExport::TuningCount(db, item->id); count > 0)
                withTunings =
                    !(choices.onlyDefaultTuning
                          ? *choices.onlyDefaultTuning
                          : ui.askYesNo(tr("frmDatabase/Messages/exportXML/multipleTunings/text",
                                           "This application has {0} tunings.{crlf}{crlf}Export only "
                                           "default tuning ?",
                                           count + 1),
                                        false));
            XmlExport::Application(db, item->id, function, encoding, withTunings, doc);
        }
        doc.save(path);
    } catch (const ZepError& e) {
        ui.critical(e.description());
        return false;
    }
    return true;
}

} // namespace zep
