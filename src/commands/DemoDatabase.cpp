#include "DemoDatabase.h"

#include "commands/DataSet.h"
#include "commands/OpenCommand.h"
#include "commands/XmlImport.h"
#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "database/ItemKey.h"
#include "flash/EcuApplication.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"
#include "xml/EcuXml.h"
#include "xml/ExportDocument.h"
#include "xml/InterchangeDocument.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <vector>

namespace zep {

namespace {

enum class Format { SRecord, Kwp, H86, Xml };

/** Where an ECU keeps its software; every address is below 16 MiB, as the files require. */
struct Layout {
    /** one past the last flash address; the flash starts at 0 */
    std::uint32_t flashEnd;
    std::uint32_t tuningFirst;
    std::uint32_t tuningCount;
    /** the boot area at the start of the flash, never reprogrammed: an application exclusion */
    std::uint32_t bootCount;
    /** the end of the tuning area that the ECU keeps for itself: a tuning exclusion */
    std::uint32_t keptCount;
};

constexpr Layout large{0x80000, 0x10000, 0x10000, 0x4000, 0x100};
constexpr Layout medium{0x40000, 0x8000, 0x8000, 0x2000, 0x80};
constexpr Layout small{0x10000, 0xE000, 0x2000, 0x1000, 0x40};

struct TuningPlan {
    /** the file title, which the Open command makes the name; for XML the tuning data's name */
    const char* name;
    Format format;
    const char* approval;
    bool checked;
    const char* comment;
};

struct ApplicationPlan {
    const char* name;
    Format format;
    /** the image covers the flash from address 0 for this many bytes */
    std::uint32_t size;
    const char* software;
    const char* version;
    /** H86 files carry no approval number: theirs stays "0000000000" */
    const char* approval;
    /** a checked H86 application gets its identification afterwards, as if read from the ECU */
    bool checked;
    const char* comment;
    std::vector<TuningPlan> tunings;
};

struct EcuPlan {
    int address;
    const char* name;
    const char* comment;
    const char* supplier;
    const char* supplierHex;
    int identificationType;
    int interByteDelay;
    int replyToRequestDelay;
    int maxDownload;
    std::uint8_t uploadRL;
    Layout layout;
    /** 10 decimal digits, or 5 characters for the types that hold codes as characters */
    const char* partNumber;
    const char* hardware;
    std::vector<ApplicationPlan> applications;
    /** bytes of a dummy global data set, 0 for none */
    std::uint32_t dummySize = 0;
};

struct FunctionPlan {
    int address;
    const char* name;
};

constexpr int Standard = 0, Valdore = 32768, TolmakAnsi = 33664, TolmakAnsiPart = 33665, TolmakHex = 33666;

// The names of the functions are those of the addressing document, in French as the first databases
// were written. The makers and products are invented.
const std::vector<FunctionPlan> functions{
    {16, "Contrôle moteur"},
    {24, "Boîte de vitesses automatique"},
    {32, "Système antiblocage des roues"},
    {80, "Boîtier de servitude intelligent"},
    {112, "Airbag"},
    {122, "Antidémarrage"},
};

// One line a record, so that the demo reads as a table.
// clang-format off
const std::vector<EcuPlan>& ecuPlans() {
    constexpr std::uint8_t crc = ZEPEcu::UploadWithCrc, noCrc = ZEPEcu::UploadWithoutCrc;
    using enum Format;
    // ECU: address, name, comment, supplier code and its hex, identification type, inter-byte and reply
    // delays, maximum download, upload, layout, part number, hardware, applications (, dummy data set).
    // Application: file, format, size, software, version, approval, checked, comment, tunings.
    // Tuning: file, format, approval, checked, comment.
    static const std::vector<EcuPlan> plans{
        {16, "CMM EDC16 Vx", "Calculateur diesel common rail, 4 cylindres", "VLD", "564C44", Standard, 5, 25, 247, crc, large, "9656612380", "0281010123", {
            {"EDC16Vx_9656612380_V10.s", SRecord, 0x80000, "1037", "0100", "4A21C07E10", true, "Logiciel de série validé au banc moteur", {
                {"EDC16Vx_V10_CAL_EU4.s", SRecord, "4A21C07E11", true, "Calibration Euro 4"},
                {"EDC16Vx_V10_CAL_EU4_boite_auto.kwp", Kwp, "4A21C07E12", false, "Variante boîte automatique"}}},
            {"EDC16Vx_9656612381_V11.kwp", Kwp, 0x80000, "1037", "0110", "4A21C07E20", true, "Correctif du démarrage à froid", {
                {"EDC16Vx_V11_CAL_EU4.s", SRecord, "4A21C07E21", true, ""},
                {"EDC16Vx_V11_CAL_EU5.s", SRecord, "4A21C07E22", false, "Essais Euro 5, ne pas diffuser"},
                {"EDC16Vx_V11_CAL_flotte.kwp", Kwp, "4A21C07E23", false, ""}}},
            {"EDC16Vx_9656612382_V12_dev.h86", H86, 0x60000, "1041", "0120", "", false,
             "Version de développement (fichier H86, sans identification)", {}}}},
        {16, "Calculateur moteur Élan 2", "Injection essence multipoint", "ORL", "4F524C", Valdore, 2, 20, 128, crc, large, "9647731180", "0261208765", {
            {"Elan2_9647731180_V03.s", SRecord, 0x40000, "2210", "0300", "7F3B09A530", true, "", {
                {"Elan2_V03_CAL_GPL.s", SRecord, "7F3B09A531", false, "Calibration bicarburation GPL"}}},
            {"Elan2_9647731181_V04.s", SRecord, 0x60000, "2210", "0400", "7F3B09A540", false, "En attente d'homologation", {}}}},
        {16, "CMM Kavex 2.0 Diesel", "", "KVX", "4B5658", Standard, 0, 10, 64, noCrc, medium, "9663348780", "0A30400120", {
            {"Kavex20_9663348780_V01.kwp", Kwp, 0x40000, "0A01", "0001", "C0FFEE0150", true, "Première livraison", {}}}},
        {24, "BVA Tordal AT6", "Boîte automatique 6 rapports", "T21", "543231", TolmakAnsi, 3, 30, 200, crc, large, "AT6S1", "0A60000001", {
            {"AT6_S1_SW0512.s", SRecord, 0x60000, "0512", "0001", "5D0C6E2210", true, "", {
                {"AT6_S1_CAL_sport.s", SRecord, "5D0C6E2211", true, "Loi de passage sport"},
                {"AT6_S1_CAL_eco.s", SRecord, "5D0C6E2212", false, "Loi de passage économique"}}},
            {"AT6_S1_SW0513.kwp", Kwp, 0x60000, "0513", "0002", "5D0C6E2220", false, "", {}}}},
        {24, "BVA Tordal AT8 Sport", "", "T22", "543232", TolmakAnsi, 3, 30, 200, crc, large, "AT8P1", "0A80000002", {
            {"AT8_P1_SW0101.s", SRecord, 0x80000, "0101", "0001", "5D0C6E3310", false, "Présérie", {
                {"AT8_P1_CAL_piste.kwp", Kwp, "5D0C6E3311", false, "Réservé au circuit"}}}}},
        {32, "ABS 8.1 Brakon", "ABS 4 canaux avec répartiteur électronique", "BRK", "42524B", Standard, 1, 15, 128, crc, medium, "4541906080", "0265231001", {
            {"ABS81_4541906080_V07.s", SRecord, 0x40000, "0081", "0700", "2B6E19F470", true, "", {
                {"ABS81_V07_CAL_berline.s", SRecord, "2B6E19F471", true, "Berline"},
                {"ABS81_V07_CAL_break.s", SRecord, "2B6E19F472", true, "Break"}}},
            {"ABS81_4541906081_V08.h86", H86, 0x20000, "0081", "0800", "", true, "Identification relevée sur le calculateur", {}}}},
        {32, "ABS Brakon 9 Premium", "", "BRK", "42524B", Standard, 1, 15, 128, crc, medium, "4544012380", "0265239002", {
            {"ABS9P_4544012380_V02.kwp", Kwp, 0x40000, "0090", "0200", "2B6E1A0020", false, "", {}}},
         0x10000},
        {80, "BSI 2004 Série", "Boîtier de servitude, gamme 2004", "TMK", "544D4B", TolmakAnsiPart, 4, 50, 64, crc, medium, "BS041", "0B5100A004", {
            {"BSI2004_SW0401.s", SRecord, 0x40000, "0401", "0001", "91D4E7A010", true, "", {
                {"BSI2004_CAL_confort.s", SRecord, "91D4E7A011", false, "Option confort"}}},
            {"BSI2004_Série_2_SW0402.s", SRecord, 0x20000, "0402", "0002", "91D4E7A020", true, "Nom de fichier accentué", {}},
            {"BSI2004_SW0403.kwp", Kwp, 0x40000, "0403", "0003", "91D4E7A030", false, "", {
                {"BSI2004_CAL_atelier.kwp", Kwp, "91D4E7A031", false, ""}}}}},
        {80, "BSI Tolmak 3", "", "TMK", "544D4B", TolmakAnsiPart, 4, 50, 64, crc, medium, "BT301", "0B5300A003", {
            {"BSI_T3_SW0310.s", SRecord, 0x40000, "0310", "0010", "91D4E7B010", true, "", {}},
            {"BSI_T3_SW0311.h86", H86, 0x40000, "0311", "0011", "", true, "", {}}}},
        {80, "BSI Tolmak 4 évolution", "Prototype : aucune application livrée", "TMK", "544D4B", TolmakAnsiPart, 4, 50, 64, crc, medium, "BT401", "0B5400A001", {}},
        {112, "Airbag Sécuris 6", "Coussins frontaux et latéraux", "SCR", "534352", TolmakHex, 0, 5, 32, crc, small, "SC601", "0C6000A006", {
            {"SC6_SW21.s", SRecord, 0x10000, "0021", "0001", "E15A0B6C10", true, "", {
                {"SC6_SW21_CAL_3portes.s", SRecord, "E15A0B6C11", true, "3 portes"},
                {"SC6_SW21_CAL_5portes.kwp", Kwp, "E15A0B6C12", false, "5 portes"}}},
            {"SC6_SW22.s", SRecord, 0x10000, "0022", "0001", "E15A0B6C20", true, "", {}},
            {"SC6_SW23.kwp", Kwp, 0x10000, "0023", "0001", "E15A0B6C30", false, "", {}},
            {"SC6_SW24_essai.h86", H86, 0x10000, "0024", "0001", "", true, "Essai en cours", {}}}},
        // its application comes by XML: its first tuning data is the application's own
        {112, "Airbag Sécuris 7", "Reçu en fichier d'échange XML", "SCR", "534353", TolmakHex, 0, 5, 32, crc, small, "SC701", "0C7000A007", {
            {"SC7 logiciel 0105", Xml, 0x10000, "0105", "0001", "E15A0C7010", true, "Importé d'un fichier d'échange", {
                {"SC7 calibration série", Xml, "E15A0C7010", true, ""},
                {"SC7 calibration conduite à gauche", Xml, "E15A0C7011", false, "Pays à conduite à gauche"}}}}},
    };
    return plans;
}
// clang-format on

/** when the dummy data set was made: fixed, so that its name never changes */
QDateTime dummyDate() {
    return QDateTime(QDate(2004, 6, 14), QTime(9, 30, 0));
}

/** SplitMix64: the same numbers on every machine, which the standard distributions do not promise */
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }

private:
    std::uint64_t state_;
};

/** a seed of its own for every image: FNV-1a of its name */
std::uint64_t seedOf(const std::string& name) {
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (const unsigned char c : name)
        h = (h ^ c) * 0x100000001B3ULL;
    return h;
}

/** bytes that look like machine code: frequent opcodes with operands, now and then a table of addresses */
void fillCode(Random& random, std::span<std::uint8_t> out, std::uint32_t flashEnd) {
    static constexpr std::uint8_t opcodes[16] = {0x4E, 0x75, 0x20, 0x30, 0x41, 0x61, 0x4A, 0x66,
                                                 0x67, 0x60, 0x2F, 0x48, 0xD0, 0xB0, 0x70, 0x22};
    std::size_t i = 0;
    while (i + 4 <= out.size()) {
        const std::uint64_t v = random.next();
        if ((v & 0x7F) == 0) {
            std::uint32_t target = static_cast<std::uint32_t>(v >> 32) % flashEnd & ~3U;
            for (int k = 0; k < 8 && i + 4 <= out.size();
                 ++k, target = (target + 0x40 + static_cast<std::uint32_t>(k) * 4) % flashEnd) {
                out[i++] = static_cast<std::uint8_t>(target >> 24);
                out[i++] = static_cast<std::uint8_t>(target >> 16);
                out[i++] = static_cast<std::uint8_t>(target >> 8);
                out[i++] = static_cast<std::uint8_t>(target);
            }
            continue;
        }
        out[i++] = opcodes[(v >> 8) & 15];
        out[i++] = opcodes[(v >> 12) & 15] ^ static_cast<std::uint8_t>((v >> 16) & 0x0F);
        out[i++] = static_cast<std::uint8_t>(v >> 24);
        out[i++] = static_cast<std::uint8_t>(v >> 32);
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(i), out.end(), 0x4E);
}

/** a tuning area: a title, maps of 16 x 16 values over their two axes, then erased space */
void fillCalibration(Random& random, std::span<std::uint8_t> out, const std::string& title) {
    std::fill(out.begin(), out.end(), 0xFF);
    std::copy_n(title.begin(), std::min(title.size(), std::min<std::size_t>(32, out.size())), out.begin());
    const std::size_t used = out.size() - out.size() / 8;
    std::size_t at = 0x20;
    while (at + 2 * 16 + 16 * 16 <= used) {
        for (int axis = 0; axis < 2; ++axis) {
            const unsigned start = random.below(32), step = 4 + random.below(12);
            for (unsigned k = 0; k < 16; ++k)
                out[at++] = static_cast<std::uint8_t>(std::min(255U, start + k * step));
        }
        const unsigned base = random.below(96), rowStep = random.below(8), columnStep = random.below(8);
        for (unsigned row = 0; row < 16; ++row)
            for (unsigned column = 0; column < 16; ++column)
                out[at++] = static_cast<std::uint8_t>(
                    std::min(255U, base + row * rowStep + column * columnStep + random.below(3)));
    }
}

void put(std::vector<std::uint8_t>& bytes, std::size_t at, std::span<const std::uint8_t> what) {
    if (at < bytes.size())
        std::copy_n(what.begin(), std::min(what.size(), bytes.size() - at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

void put(std::vector<std::uint8_t>& bytes, std::size_t at, const std::string& text) {
    put(bytes, at, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

/**
 * A software image: code from address 0 with erased space at the end of each code area, the tuning area's
 * maps, and right after the boot area the identification block and a banner, as flashing tools look for them.
 */
MemImage applicationImage(const EcuPlan& ecu, const ApplicationPlan& plan, const EcuApplication& identified) {
    const Layout& l = ecu.layout;
    std::vector<std::uint8_t> bytes(plan.size);
    Random random(seedOf(plan.name));
    fillCode(random, bytes, l.flashEnd);
    const auto erased = [&bytes](std::uint32_t first, std::uint32_t end) {
        end = std::min<std::uint32_t>(end, static_cast<std::uint32_t>(bytes.size()));
        if (first < end)
            std::fill(bytes.begin() + (end - (end - first) / 8), bytes.begin() + end, 0xFF);
    };
    erased(l.bootCount, l.tuningFirst);
    erased(l.tuningFirst + l.tuningCount, l.flashEnd);
    if (l.tuningFirst < plan.size)
        fillCalibration(
            random,
            std::span(bytes).subspan(l.tuningFirst, std::min(l.tuningCount, plan.size - l.tuningFirst)),
            std::string("CAL ") + plan.software + "." + plan.version);
    put(bytes, 0x10, std::string("BOOT ZEP DEMO 1.2"));
    put(bytes, l.bootCount, identified.Identification().bytes());
    put(bytes, l.bootCount + 0x20,
        std::string("(C) ZEP DEMO SOFTWARE ") + plan.software + " VERSION " + plan.version + " " + plan.name);
    MemImage image;
    image.add(0, bytes);
    return image;
}

/** a calibration image: the tuning area alone */
MemImage tuningImage(const EcuPlan& ecu, const TuningPlan& plan) {
    std::vector<std::uint8_t> bytes(ecu.layout.tuningCount);
    Random random(seedOf(plan.name));
    fillCalibration(random, bytes, std::string("CAL ") + plan.name);
    MemImage image;
    image.add(ecu.layout.tuningFirst, bytes);
    return image;
}

bool codesAsCharacters(int identificationType) {
    return identificationType >= TolmakAnsi && identificationType <= TolmakHex;
}

/** the part number of an ECU's index-th application, as PIE digits: its last character counts them */
std::string partNumberHex(const EcuPlan& ecu, int index) {
    std::string part = ecu.partNumber;
    part.back() = static_cast<char>(part.back() + index);
    if (!codesAsCharacters(ecu.identificationType))
        return part;
    return hex::encode({reinterpret_cast<const std::uint8_t*>(part.data()), part.size()});
}

/** the record a flash file is written from: the ECU's parameters and the identification of the item */
EcuApplication identifiedItem(const EcuPlan& ecu, const ZEPEcu& record, int index, const ApplicationPlan& app,
                              const char* approval, int calibration, bool tuning) {
    EcuApplication item;
    item.Ecu() = record;
    item.setEstCalibration(tuning);
    item.setPIE(partNumberHex(ecu, index));
    item.setIndiceDiag(static_cast<std::uint8_t>(0x10 + index));
    item.setFournisseurHex(ecu.supplierHex);
    item.setHardware(ecu.hardware);
    item.setSoftware(app.software);
    item.setVersion(app.version);
    item.setCalibration(hex::withWidth(static_cast<std::uint64_t>(calibration), 4));
    item.setReserve("00000000");
    if (*approval != '\0')
        item.Homologation = approval;
    return item;
}

/** the ECU record of a plan, with its memory map: application, tuning area, application */
ZEPEcu ecuRecord(const EcuPlan& plan) {
    ZEPEcu ecu;
    ecu.Address = static_cast<std::uint8_t>(plan.address);
    ecu.Nom = plan.name;
    ecu.Commentaire = plan.comment;
    ecu.CodeFournisseur = plan.supplier;
    ecu.SupplierHex = plan.supplierHex;
    ecu.IdentificationType = plan.identificationType;
    ecu.InterByteDelay = plan.interByteDelay;
    ecu.ReplyToRequestDelay = plan.replyToRequestDelay;
    ecu.WriteGranularity = plan.maxDownload;
    ecu.UploadRL = plan.uploadRL;
    ecu.FillPattern = MemBlock::fromHex("FF");
    const Layout& l = plan.layout;
    const std::uint32_t tuningEnd = l.tuningFirst + l.tuningCount;
    ecu.addMapping(0, l.tuningFirst, false);
    ecu.addMapping(l.tuningFirst, l.tuningCount, true);
    if (tuningEnd < l.flashEnd)
        ecu.addMapping(tuningEnd, l.flashEnd - tuningEnd, false);
    ecu.addExclusion(0, l.bootCount, false);
    ecu.addExclusion(tuningEnd - l.keptCount, l.keptCount, true);
    return ecu;
}

/** What the operations show while the demo is made: the demo's own files must raise no message at all. */
class StepInteraction : public Interaction {
public:
    void inform(const std::string& text) override { messages_.push_back(text); }
    void warn(const std::string& text) override { messages_.push_back(text); }
    void critical(const std::string& text) override { messages_.push_back(text); }
    Answer ask(const std::string& text, Buttons, Answer defaultAnswer) override {
        messages_.push_back(text);
        return defaultAnswer;
    }

    /** raises the first message shown, if any */
    void check() const {
        if (!messages_.empty())
            throw ZepError(errors::File,
                           tr("demoDatabase/Messages/failed/text",
                              "The demo database could not be made:{crlf}{0}", messages_.front()));
    }

private:
    std::vector<std::string> messages_;
};

/** a folder of its own for the flash files, removed with the object */
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zep-demo-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw ZepError(errors::File,
                           tr("common/cannotWriteFile/text", "Unable to write file {0}{crlf}{1}", pattern,
                              std::strerror(errno)));
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

class DemoMaker {
public:
    DemoMaker(Connection& db, Interaction& ui) : db_(db), ui_(ui) {
        for (const EcuPlan& ecu : ecuPlans()) {
            total_ += ecu.dummySize > 0;
            for (const ApplicationPlan& app : ecu.applications)
                if (app.format != Format::Xml)
                    total_ += 1 + app.tunings.size();
        }
    }

    void run() {
        for (const FunctionPlan& f : functions)
            db_.execute("INSERT INTO [Fonctions] ([Address], [Name]) VALUES (?, ?)",
                        {f.address, QString::fromUtf8(f.name)});
        const std::vector<ImportedEcu> ecus = importEcus();
        for (std::size_t e = 0; e < ecus.size(); ++e) {
            const EcuPlan& plan = ecuPlans()[e];
            const qint64 ecuId = ecus[e].ecu.id;
            const ZEPEcu record = ecuRecord(plan);
            std::size_t xmlApplication = 0, xmlTuning = 0;
            for (std::size_t a = 0; a < plan.applications.size(); ++a) {
                const ApplicationPlan& app = plan.applications[a];
                if (app.format == Format::Xml) {
                    finish(ecus[e].applications.at(xmlApplication++), app.checked, app.comment);
                    for (const TuningPlan& tuning : app.tunings)
                        finish(ecus[e].tunings.at(xmlTuning++), tuning.checked, tuning.comment);
                    continue;
                }
                openApplication(plan, record, ecuId, static_cast<int>(a), app);
            }
            if (plan.dummySize > 0)
                addDummy(ecuId, plan.dummySize);
        }
    }

private:
    static std::string progressText() {
        return tr("demoDatabase/Messages/progress/text", "Making the demo database");
    }

    /** the last step reports done == total, which ends the progress */
    void stepDone() {
        step_.check();
        ui_.progress(progressText(), ++done_, total_);
    }

    /** every ECU by an XML import of one interchange file, with the applications that come by XML */
    std::vector<ImportedEcu> importEcus() {
        ExportDocument doc;
        for (const EcuPlan& plan : ecuPlans()) {
            const ZEPEcu record = ecuRecord(plan);
            pugi::xml_node boot =
                CreateXMLElement(record, doc.root(), XmlExport::FunctionText(db_, plan.address));
            // The import takes the comment of an ECU from the Boot's first XML comment.
            if (*plan.comment != '\0')
                boot.prepend_child(pugi::node_comment).set_value(plan.comment);
            for (std::size_t a = 0; a < plan.applications.size(); ++a) {
                const ApplicationPlan& app = plan.applications[a];
                if (app.format != Format::Xml)
                    continue;
                const int index = static_cast<int>(a);
                appendCrLf(boot);
                const pugi::xml_node element = xmlexport::Application(boot, app.name);
                const EcuApplication item = identifiedItem(plan, record, index, app, app.approval, 1, false);
                xmlexport::ApplicationCode(doc, element, record, doc.keep(applicationImage(plan, app, item)),
                                           SegmentEncoding::Base64);
                for (std::size_t t = 0; t < app.tunings.size(); ++t) {
                    const TuningPlan& tuning = app.tunings[t];
                    const EcuApplication tuningItem = identifiedItem(
                        plan, record, index, app, tuning.approval, static_cast<int>(t + 2), true);
                    xmlexport::TuningData(doc, element, tuningItem, doc.keep(tuningImage(plan, tuning)),
                                          tuning.name, SegmentEncoding::Base64);
                }
            }
        }
        const std::string path = folder_.file("ecus.xml");
        doc.save(path);
        XmlImportResult result = ImportXmlFile(db_, path, step_);
        step_.check();
        if (result.ecus.size() != ecuPlans().size())
            throw ZepError(errors::File, tr("demoDatabase/Messages/failed/text",
                                            "The demo database could not be made:{crlf}{0}", path));
        return std::move(result.ecus);
    }

    void openApplication(const EcuPlan& plan, const ZEPEcu& record, qint64 ecuId, int index,
                         const ApplicationPlan& app) {
        EcuApplication item = identifiedItem(plan, record, index, app, app.approval, 1, false);
        item.value() = applicationImage(plan, app, item);
        const ItemKey key = open(ecuId, std::nullopt, item, app.name, app.format).application.value();
        // An H86 file carries no identification: a checked one was identified on the ECU afterwards.
        if (app.format == Format::H86 && app.checked)
            ImageStore::UpdateIdent(db_, key.text(), item);
        finish(key, app.checked, app.comment);
        stepDone();

        for (std::size_t t = 0; t < app.tunings.size(); ++t) {
            const TuningPlan& tuning = app.tunings[t];
            EcuApplication tuningItem =
                identifiedItem(plan, record, index, app, tuning.approval, static_cast<int>(t + 2), true);
            tuningItem.value() = tuningImage(plan, tuning);
            const ItemKey tuningKey =
                open(ecuId, key.id, tuningItem, tuning.name, tuning.format).tuning.value();
            finish(tuningKey, tuning.checked, tuning.comment);
            stepDone();
        }
    }

    /** writes the item's file in the format given and opens it with the Open command */
    OpenResult open(qint64 ecuId, std::optional<qint64> application, EcuApplication& item, const char* title,
                    Format format) {
        const std::string path = folder_.file(title);
        switch (format) {
        case Format::SRecord:
            item.ExportToSFile(path);
            break;
        case Format::Kwp:
            item.ExportToKWPFile(path);
            break;
        case Format::H86:
            item.ExportToH86File(path);
            break;
        case Format::Xml:
            break;
        }
        const OpenResult result = OpenFlashFile(db_, ecuId, application, path, step_);
        step_.check();
        if (!(application ? result.tuning : result.application))
            throw ZepError(errors::File, tr("demoDatabase/Messages/failed/text",
                                            "The demo database could not be made:{crlf}{0}", path));
        return result;
    }

    void finish(const ItemKey& key, bool checked, const char* comment) {
        if (checked)
            ImageStore::Marquage(db_, key.text());
        if (*comment == '\0')
            return;
        // The comment alone, as the properties dialog would store it; the approval stays the file's.
        const ImageStore::ItemTables& t = ImageStore::TablesOf(
            key.kind == ItemKey::Tuning ? ImageStore::Owner::Tuning : ImageStore::Owner::Application);
        db_.execute(QString("UPDATE [%1] SET [Commentaire] = ? WHERE [%2] = ?").arg(t.items, t.id),
                    {QString::fromUtf8(comment), key.id});
    }

    /** a dummy global data set, as the data set generator makes it for performance tests */
    void addDummy(qint64 ecuId, std::uint32_t size) {
        const ZEPEcu ecu = EcuStore::Read(db_, ecuId);
        constexpr std::uint8_t byte = 0x55;
        const MemImage image = DataSet::BuildImage(ecu.WriteMap(false), size, byte);
        DataSet::AddDummyDataSet(db_, ecuId, 0, image, ecu, byte, false, dummyDate(), &step_);
        stepDone();
    }

    Connection& db_;
    Interaction& ui_;
    StepInteraction step_;
    ScratchFolder folder_;
    std::size_t done_ = 0, total_ = 0;
};

} // namespace

void makeDemoDatabase(const std::string& path, Interaction& interaction) {
    // create refuses an existing file before it writes anything; from then on the file is ours
    std::unique_ptr<Connection> db = Connection::create(ConnectionString::forFile(path));
    try {
        DemoMaker maker(*db, interaction);
        db->transaction([&] { maker.run(); });
    } catch (...) {
        db.reset();
        std::error_code ec;
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            std::filesystem::remove(path + suffix, ec);
        throw;
    }
}

} // namespace zep
