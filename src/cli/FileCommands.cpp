#include "Command.h"

#include "Arguments.h"
#include "TerminalText.h"

#include "flash/ChecksumText.h"
#include "flash/EcuApplication.h"
#include "flash/FileKind.h"
#include "flash/FlashFile.h"
#include "flash/KwpFile.h"
#include "flash/KwpText.h"
#include "memory/Checksums.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace zep::cli {

namespace {

enum class Format { SRecord, H86, Kwp };

std::optional<Format> formatNamed(const std::string& name) {
    if (name == "srec")
        return Format::SRecord;
    if (name == "h86")
        return Format::H86;
    if (name == "kwp")
        return Format::Kwp;
    return std::nullopt;
}

std::optional<Format> formatOfExtension(const std::string& path) {
    switch (kindOfExtension(path)) {
    case FileKind::SRecord:
        return Format::SRecord;
    case FileKind::H86:
        return Format::H86;
    case FileKind::Kwp:
        return Format::Kwp;
    default:
        return std::nullopt;
    }
}

/**
 * The identification type a KWP stream was written for, as far as its first download frame tells:
 * type 1 downloads from tester FC. nullopt when the stream has no download frame to tell.
 */
std::optional<std::int32_t> kwpIdentificationType(std::string_view stream) {
    if (stream.empty())
        return std::nullopt;
    const std::size_t frame = (static_cast<unsigned char>(stream[0]) & 0x3F) + 4u;
    if (frame + 2 >= stream.size())
        return std::nullopt;
    return static_cast<unsigned char>(stream[frame + 2]) == kwp::testerAddress(1) ? 1 : 0;
}

/** reads a flash file of any kind into app; the kind it had */
FileKind import(const std::string& path, EcuApplication& app, Interaction& ui, bool identificationTypeGiven) {
    const FileKind kind = fileKind(path);
    switch (kind) {
    case FileKind::SRecord:
        app.ImportFromSFile(path, ui);
        break;
    case FileKind::H86:
        app.ImportFromH86File(path, ui);
        break;
    case FileKind::Kwp: {
        const FileBytes file(path);
        const std::string_view data = file.text();
        // The tester address of the frames follows the identification type: without the option, the
        // file itself tells which one it was written for.
        const auto type = kwpIdentificationType(data);
        if (!identificationTypeGiven && type && (*type == 1) != (app.Ecu().IdentificationType == 1))
            app.Ecu().IdentificationType = *type;
        kwp::parse(file.bytes(), app, file.releaser());
        break;
    }
    case FileKind::Xml:
    case FileKind::None:
        ::close(openRegularFile(path)); // a file that cannot be read says why
        throw ZepError(errors::File, tr("zep/Messages/notAFlashFile/text",
                                        "{0} is not an S-record, H86 or KWP file", path));
    }
    return kind;
}

/** "1 byte", "2 bytes" */
std::string bytes(std::uint64_t count) {
    return count == 1 ? tr("zep/info/oneByte/text", "1 byte") : tr("zep/info/bytes/text", "{0} bytes", count);
}

} // namespace

void printRanges(const MemImage& image, bool checksums) {
    if (checksums) {
        for (const RangeChecksums& r : rangeChecksumsOf(image))
            std::cout << "  " << hex::withWidth(r.range.address, 8) << "-"
                      << hex::withWidth(r.range.last(), 8) << "  " << bytes(r.range.count) << "  "
                      << checksumsText(r.checksums) << '\n';
    } else {
        for (const MemRange& r : image.map())
            std::cout << "  " << hex::withWidth(r.address, 8) << "-" << hex::withWidth(r.last(), 8) << "  "
                      << bytes(r.count) << '\n';
    }
    std::cout << "  "
              << (image.count() == 1
                      ? tr("zep/info/totalOneBlock/text", "total: {0} in 1 block", bytes(image.byteCount()))
                      : tr("zep/info/totalBlocks/text", "total: {0} in {1} blocks", bytes(image.byteCount()),
                           image.count()))
              << '\n';
    if (checksums)
        std::cout << "  " << checksumsText(checksumsOf(image)) << '\n';
}

namespace {

void printInfo(const std::string& path, FileKind kind, const EcuApplication& app, bool checksums) {
    const ZEPEcu& ecu = app.Ecu();
    std::cout << printable(path) << ": " << kindName(kind) << '\n';
    printRanges(app.value(), checksums);
    // What a toolchain's file carries besides the data, in its own bytes: escaped like the rest.
    if (app.Header)
        std::cout << "  " << tr("zep/info/header/text", "header \"{0}\"", printable(*app.Header)) << '\n';
    if (app.Start)
        std::cout << "  " << tr("zep/info/startAddress/text", "start address {0}", app.Start->text()) << '\n';
    if (kind == FileKind::H86)
        return;
    // The identification is the file's own text: any byte may stand in it.
    std::cout << "  " << (app.EstCalibration() ? "tuning" : "application") << '\n'
              << "  PIE " << printable(app.PIE()) << ", IndiceDiag " << int(app.IndiceDiag())
              << ", Fournisseur \"" << printable(app.Fournisseur()) << "\" ("
              << printable(app.FournisseurHex()) << "), Hardware " << printable(app.Hardware())
              << ", Software " << printable(app.Software()) << ", Version " << printable(app.Version())
              << ", Calibration " << printable(app.Calibration()) << ", Reserve " << printable(app.Reserve())
              << '\n'
              << "  Homologation " << printable(app.Homologation) << '\n';
    if (kind == FileKind::Kwp)
        std::cout << "  Address " << hex::withWidth(ecu.Address, 2) << "H, ";
    else
        std::cout << "  FillPattern " << (ecu.FillPattern.empty() ? "-" : ecu.FillPattern.toHex())
                  << ", WriteGranularity " << ecu.WriteGranularity << ", ";
    std::cout << "InterByteDelay " << ecu.InterByteDelay << " ms, ReplyToRequestDelay "
              << ecu.ReplyToRequestDelay << " ms\n";
}

int info(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {"checksums"});
    if (a.positional().empty())
        throw UsageError("missing arguments");
    int code = 0;
    for (const std::string& path : a.positional()) {
        try {
            EcuApplication app;
            const FileKind kind = import(path, app, ui, false);
            printInfo(path, kind, app, a.has("checksums"));
        } catch (const ZepError& e) {
            ui.critical(path + ": " + e.description());
            code = 1;
        }
    }
    return code;
}

int convert(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args,
                      {"to", "address", "fill-pattern", "write-granularity", "inter-byte-delay",
                       "reply-to-request-delay", "identification-type"},
                      {"tuning"});
    a.expectPositional(2);
    const std::string& in = a.positional()[0];
    const std::string& out = a.positional()[1];
    std::optional<Format> format = a.value("to") ? formatNamed(*a.value("to")) : formatOfExtension(out);
    if (!format)
        throw UsageError(a.value("to")
                             ? "--to takes srec, h86 or kwp"
                             : "cannot tell the format of " + out + " from its extension: give --to");

    EcuApplication app;
    ZEPEcu& ecu = app.Ecu();
    if (auto v = a.number("address", 0, 255))
        ecu.Address = static_cast<std::uint8_t>(*v);
    if (auto v = a.value("fill-pattern")) {
        try {
            ecu.FillPattern = MemBlock::fromHex(*v);
        } catch (const ZepError&) {
            throw UsageError("--fill-pattern takes hexadecimal text such as FFFFFFFF, not \"" + *v + "\"");
        }
    }
    if (auto v = a.number("write-granularity", INT32_MIN, INT32_MAX))
        ecu.WriteGranularity = static_cast<std::int32_t>(*v);
    if (auto v = a.number("inter-byte-delay", INT32_MIN, INT32_MAX))
        ecu.InterByteDelay = static_cast<std::int32_t>(*v);
    if (auto v = a.number("reply-to-request-delay", INT32_MIN, INT32_MAX))
        ecu.ReplyToRequestDelay = static_cast<std::int32_t>(*v);
    if (auto v = a.number("identification-type", INT32_MIN, INT32_MAX))
        ecu.IdentificationType = static_cast<std::int32_t>(*v);
    if (a.has("tuning"))
        app.setEstCalibration(true);

    import(in, app, ui, a.has("identification-type"));
    // What the defaults leave out or make small is said with the option that changes it.
    if (*format == Format::SRecord && ecu.FillPattern.empty())
        throw ZepError(errors::File,
                       tr("zep/Messages/noErasedState/text",
                          "{0} carries no erased state, which an S-record file needs: give it with "
                          "--fill-pattern (FF for one byte, FFFFFFFF for four)",
                          in));
    if (*format == Format::Kwp && ecu.WriteGranularity == 1 && !a.has("write-granularity"))
        ui.warn(
            tr("zep/Messages/oneByteFrames/text",
               "Each download frame carries 1 byte, as the write granularity is 1: give --write-granularity "
               "to put more bytes in each frame."));
    switch (*format) {
    case Format::SRecord:
        app.ExportToSFile(out);
        break;
    case Format::H86:
        app.ExportToH86File(out);
        break;
    case Format::Kwp:
        app.ExportToKWPFile(out);
        break;
    }
    if (app.Start && *format != Format::H86)
        ui.inform(tr("zep/Messages/startAddressDropped/text",
                     "note: the start address {0} of {1} is not written to {2}: only H86 files carry one. "
                     "Convert to a .h86 or .hex file to keep it.",
                     app.Start->text(), in, out));
    return 0;
}

int kwp2txt(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {});
    a.expectPositional(2);
    std::string failure;
    const bool done = ConvertKwpToText(a.positional()[0], a.positional()[1], ui, &failure);
    if (!failure.empty())
        ui.critical(failure);
    return done ? 0 : 1;
}

} // namespace

const std::vector<Command>& fileCommands() {
    static const std::vector<Command> commands = {
        {"info", "zep info FILE... [--checksums]",
         "  Prints each file's kind, the address ranges its data cover, its total bytes and, for S-record "
         "and\n"
         "  KWP files, the identification and the ECU parameters it carries. --checksums adds the KWP CRC\n"
         "  (CRC-16/CCITT-FALSE), CRC-32 and byte sum of each range and of the whole image.\n",
         info},
        {"convert",
         "zep convert IN OUT [--to srec|h86|kwp] [--address N] [--fill-pattern HEX] [--write-granularity N] "
         "[--inter-byte-delay N] [--reply-to-request-delay N] [--identification-type N] [--tuning]",
         "  Reads IN by its content (S-record, H86 or KWP) and writes OUT in the format of --to, or of "
         "OUT's\n"
         "  extension (.s .s19 .s28 .s37 .srec .mot .ulp S-record, .h86 .hex .ihex .ihx H86, .kwp KWP).\n"
         "  ECU parameters come from IN where it carries them, else from the options, else from the\n"
         "  defaults. Numbers are decimal or hexadecimal with 0x; --fill-pattern takes hex text (FFFFFFFF).\n"
         "  --tuning marks the image as a tuning where IN does not say it.\n",
         convert},
        {"kwp2txt", "zep kwp2txt IN OUT",
         "  Writes one line per frame of the KWP file IN, its bytes in hexadecimal.\n", kwp2txt},
    };
    return commands;
}

} // namespace zep::cli
