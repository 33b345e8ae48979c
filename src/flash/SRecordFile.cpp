#include "SRecordFile.h"

#include "EcuApplication.h"
#include "FlashFile.h"
#include "LineSplitter.h"

#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace zep::srecord {

namespace {

constexpr std::uint32_t limit16M = 0x1000000;
constexpr int maxGranularityExponent = 16;

[[noreturn]] void fail(const char* name, const char* def, std::size_t line) {
    throw ZepError(errors::File,
                   tr(std::string("EcuApplication/Messages/importFromSFile/") + name + "/text", def, line));
}

[[noreturn]] void refuse(const char* name, const char* def, const std::string& a0 = {},
                         const std::string& a1 = {}, const std::string& a2 = {}, const std::string& a3 = {}) {
    throw ZepError(errors::File, tr(std::string("EcuApplication/Messages/exportToSFile/") + name + "/text",
                                    def, a0, a1, a2, a3));
}

struct S0Kind {
    int count;        // required count; for kind 6 the least one
    const char* name; // message of a wrong count
    const char* text;
};

constexpr S0Kind kinds[9] = {
    {0, nullptr, nullptr},
    {28, "badLengthIdentification", "Bad length identification at line {0}"},
    {9, "badLengthApprovalNumber", "Bad length approval number at line {0}"},
    {5, "badLengthLogicalMarker", "Bad length logical marker at line {0}"},
    {7, "badLengthTimings", "Bad length timings at line {0}"},
    {6, "badLengthGranularity", "Bad length granularity at line {0}"},
    {5, "badLengthRequest", "Bad length of request at line {0}"},
    {28, "badLengthIdentification", "Bad length identification at line {0}"},
    {9, "badLengthApprovalNumber", "Bad length approval number at line {0}"},
};

struct Maker {
    MemBlock identification{EcuApplication::IdentificationLength};
    std::string approval;
    bool present = false;
};

/** the length of the line a record's count announces ("S", type, count, count bytes); 0 if none */
std::size_t expectedLength(std::string_view rest) {
    if (rest.size() < 4 || rest[0] != 'S')
        return 0;
    const int high = hex::digitValue(rest[2]), low = hex::digitValue(rest[3]);
    return high < 0 || low < 0 ? 0 : 4 + 2 * static_cast<std::size_t>(high << 4 | low);
}

void takeIdentification(EcuApplication& app, const Maker& maker) {
    app.setIdentification(maker.identification);
    if (!maker.approval.empty())
        app.Homologation = maker.approval;
}

} // namespace

Report read(std::string_view text, EcuApplication& app, Interaction& ui, const ReleaseBytes& release) {
    LineSplitter lines(text, release);
    switch (lines.delimiter()) {
    case LineSplitter::Delimiter::None:
        throw ZepError(errors::File, tr("EcuApplication/Messages/importFromSFile/lineDelimiterError/text",
                                        "File problem. Please check that the row delimiter is CRLF."));
    case LineSplitter::Delimiter::Lf:
        ui.warn(tr("EcuApplication/Messages/importFromSFile/lineDelimiterWarning/text",
                   "File should use CRLF as line delimiter"));
        break;
    case LineSplitter::Delimiter::CrLf:
        break;
    }

    MemImage& image = app.value();
    ZEPEcu& ecu = app.Ecu();
    image.clear();
    image.reserve(text.size() / 2, text.size() / 64);
    app.Start.reset();
    app.Header.reset();
    Maker valdore, tolmak;
    bool identified = false; // an S0 record of an identification kind was read
    Report report;
    std::vector<std::uint8_t> bytes;
    std::string_view line;
    std::size_t number = 0;

    while (lines.next(line, number, expectedLength(lines.rest()))) {
        if (line.empty())
            continue;
        if (line.size() == 1)
            fail("illegalLine", "Illegal line {0}", number);
        const std::string_view digits = line.substr(2);
        bytes.resize(digits.size() / 2);
        unsigned sum = 0;
        if (!hex::decode(digits, bytes.data(), sum))
            fail("invalidHexadecimal", "Invalid hexadecimal digits at line {0}", number);
        if (bytes.empty() || (sum & 0xFF) != 0xFF)
            fail("checksumError", "Checksum error at line {0}", number);
        const std::size_t n = bytes.size();
        const std::size_t count = bytes[0];
        if (count != n - 1)
            fail("badLength", "Bad length at line {0}", number);
        // b(p) is the byte at position p, counted from 1 as the records are described.
        const auto b = [&bytes](std::size_t p) -> std::uint32_t { return bytes[p - 1]; };
        const std::string_view type = line.substr(0, 2);

        std::uint32_t address = 0;
        std::size_t dataFrom = 0; // position of the first data byte
        if (type == "S0") {
            const std::uint32_t kind = count >= 4 ? b(2) << 16 | b(3) << 8 | b(4) : 0;
            if (kind < 1 || kind > 8) {
                // The header that objcopy, srec_cat and most other tools write ("HDR", a file name)
                // is no identification record. Before any identification it is taken as the file's
                // own header, as those tools mean it; among identification records it stays an error.
                if (identified)
                    fail("invalidS0Record", "Invalid S0 record at line {0}", number);
                std::string header(bytes.begin() +
                                       static_cast<std::ptrdiff_t>(std::min<std::size_t>(3, n - 1)),
                                   bytes.end() - 1);
                while (!header.empty() && header.back() == '\0')
                    header.pop_back();
                app.Header = std::move(header);
                continue;
            }
            identified = true;
            const S0Kind& k = kinds[kind];
            if (kind == 6 ? count < static_cast<std::size_t>(k.count)
                          : count != static_cast<std::size_t>(k.count))
                fail(k.name, k.text, number);
            switch (kind) {
            case 1:
            case 7: {
                Maker& m = kind == 1 ? valdore : tolmak;
                m.identification.setBytes({bytes.data() + 4, 24});
                m.present = true;
                (kind == 1 ? report.valdore : report.tolmak) = true;
                break;
            }
            case 2:
            case 8:
                (kind == 2 ? valdore : tolmak).approval = hex::encode({bytes.data() + 4, 5});
                break;
            case 3:
                if (b(5) != EcuApplication::TuningMarker && b(5) != EcuApplication::ApplicationMarker)
                    throw ZepError(errors::File,
                                   tr("EcuApplication/Messages/importFromSFile/invalidLogicalMarker/text",
                                      "Invalid logical marker {0} at line {1}", hex::number(b(5)), number));
                app.setCalibrationMarker(static_cast<std::uint8_t>(b(5)));
                report.marker = true;
                break;
            case 4:
                ecu.InterByteDelay = static_cast<std::int32_t>(b(5));
                ecu.ReplyToRequestDelay = static_cast<std::int32_t>(b(7));
                report.timings = true;
                break;
            case 5:
                if (b(5) > maxGranularityExponent)
                    throw ZepError(errors::File,
                                   tr("EcuApplication/Messages/importFromSFile/invalidGranularity/text",
                                      "Invalid granularity 2^{0} at line {1}: at most 2^{2} bytes", b(5),
                                      number, maxGranularityExponent));
                ecu.FillPattern.setLength(std::size_t{1} << b(5));
                ecu.FillPattern.fill(static_cast<std::uint8_t>(b(6)));
                report.granularity = true;
                break;
            case 6:
                ecu.WriteGranularity = b(5) == 0 ? 256 : static_cast<std::int32_t>(b(5));
                report.requestLength = true;
                break;
            }
            continue;
        } else if (type == "S1") {
            if (count < 3)
                fail("badLength", "Bad length at line {0}", number);
            address = b(2) << 8 | b(3);
            dataFrom = 4;
        } else if (type == "S2") {
            if (count < 4)
                fail("badLength", "Bad length at line {0}", number);
            address = b(2) << 16 | b(3) << 8 | b(4);
            dataFrom = 5;
        } else if (type == "S3") {
            if (count < 5)
                fail("badLength", "Bad length at line {0}", number);
            if (b(2) != 0)
                throw ZepError(errors::File,
                               tr("EcuApplication/Messages/importFromSFile/memory16Mlimitation/text",
                                  "Reprogramming does not allow addresses beyond 16 Megabytes"));
            address = b(3) << 16 | b(4) << 8 | b(5);
            dataFrom = 6;
        } else if (type == "S7" || type == "S8" || type == "S9") {
            // Toolchains put the program's start address here; 0 is what they write when there is
            // none. An end record too short for its address is taken as it is, with no address.
            const std::size_t width = type == "S7" ? 4 : type == "S8" ? 3 : 2;
            if (count >= width + 1) {
                std::uint32_t start = 0;
                for (std::size_t p = 2; p < 2 + width; ++p)
                    start = start << 8 | b(p);
                if (start == 0)
                    app.Start.reset();
                else
                    app.Start = StartAddress{StartAddress::Kind::Linear, start};
            }
            continue;
        } else if (type == "S5" || type == "S6") {
            // Count records are not in the format these files were first made for, but srec_cat writes
            // one by default. A count that differs means lost or repeated lines: the user is told, and
            // the data read stay, since each line was checked on its own.
            const std::size_t width = type == "S5" ? 2 : 3;
            if (count != width + 1)
                fail("badLength", "Bad length at line {0}", number);
            std::uint32_t counted = 0;
            for (std::size_t p = 2; p < 2 + width; ++p)
                counted = counted << 8 | b(p);
            if (counted != report.dataRecords)
                ui.warn(
                    tr("EcuApplication/Messages/importFromSFile/countMismatch/text",
                       "The count record at line {0} counts {1} data records, but {2} come before it: lines "
                       "may be missing or repeated. Check the file with whoever wrote it.",
                       number, counted, report.dataRecords));
            continue;
        } else {
            throw ZepError(errors::File,
                           tr("EcuApplication/Messages/importFromSFile/unsupportedRecordType/text",
                              "Unsupported record type {0} at line {1}", type, number));
        }
        image.add(address, {bytes.data() + dataFrom - 1, n - dataFrom});
        ++report.dataRecords;
    }

    if (valdore.present && tolmak.present) {
        const bool takeValdore = ui.askYesNo(tr("EcuApplication/Messages/importFromSFile/TolmakValdore/text",
                                                "This file contains TOLMAK and VALDORE identification "
                                                "information.{crlf}{crlf}Select YES to import "
                                                "VALDORE's data, NO to import TOLMAK's data"));
        takeIdentification(app, takeValdore ? valdore : tolmak);
    } else if (valdore.present) {
        takeIdentification(app, valdore);
    } else if (tolmak.present) {
        takeIdentification(app, tolmak);
    }
    return report;
}

namespace {

bool tolmakFamily(std::int32_t identificationType) {
    return identificationType >= 0x8380 && identificationType <= 0x8382;
}

void checkByte(const char* name, std::int64_t value, std::int64_t least, std::int64_t most) {
    if (value < least || value > most)
        refuse("valueOutOfRange",
               "{0} = {1} cannot be written in an S-record file: it must be from {2} to {3}.", name,
               std::to_string(value), std::to_string(least), std::to_string(most));
}

int granularityExponent(const MemBlock& fillPattern) {
    return static_cast<int>(std::lround(std::log2(static_cast<double>(fillPattern.length()))));
}

// A record is formatted in place, in room made once for the whole line.
void appendRecord(std::string& out, const char* type, std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    const std::uint8_t checksum = static_cast<std::uint8_t>(~sum & 0xFF);
    const std::size_t start = out.size();
    out.resize(start + 2 + 2 * bytes.size() + 4);
    char* p = out.data() + start;
    p[0] = type[0];
    p[1] = type[1];
    p = hex::put(hex::put(p + 2, bytes), {&checksum, 1});
    p[0] = '\r';
    p[1] = '\n';
}

} // namespace

void check(const EcuApplication& app) {
    const ZEPEcu& ecu = app.Ecu();
    if (ecu.FillPattern.empty())
        refuse("emptyFillPattern", "The erased state of the ECU is empty: the granularity record of an "
                                   "S-record file cannot be written.");
    // The granularity record holds the rounded base-2 logarithm of the erased state's length and its
    // first byte, whatever the pattern; only a logarithm that the reader refuses is refused here.
    if (granularityExponent(ecu.FillPattern) > maxGranularityExponent)
        refuse("fillPatternTooLong",
               "The erased state of {0} bytes is too long for an S-record file: its granularity record holds "
               "at most "
               "2^{1} bytes.",
               std::to_string(ecu.FillPattern.length()), std::to_string(maxGranularityExponent));
    std::uint8_t approval[5];
    if (app.Homologation.size() != 10 || !hex::decode(app.Homologation, approval))
        refuse("invalidApprovalNumber", "The approval number \"{0}\" is not 10 hexadecimal digits.",
               app.Homologation);
    checkByte("InterByteDelay", ecu.InterByteDelay, 0, 255);
    checkByte("ReplyToRequestDelay", ecu.ReplyToRequestDelay, 0, 255);
    checkByte("WriteGranularity", ecu.WriteGranularity, 1, 256);
    const MemImage& image = app.value();
    if (!image.empty()) {
        const ImageBlock last = image[image.count() - 1];
        if (last.end() > limit16M)
            refuse("addressBeyond16M", "Address {0}H is beyond 16 Megabytes: S2 records cannot hold it.",
                   hex::number(std::max<std::uint64_t>(last.first, limit16M)));
    }
}

void write(const EcuApplication& app, OutputBuffer& out) {
    const ZEPEcu& ecu = app.Ecu();
    const bool tolmak = tolmakFamily(ecu.IdentificationType);
    std::string& text = out.text();

    std::vector<std::uint8_t> record = {28, 0, 0, static_cast<std::uint8_t>(tolmak ? 7 : 1)};
    const MemBlock identification = app.Identification();
    record.insert(record.end(), identification.bytes().begin(), identification.bytes().end());
    appendRecord(text, "S0", record);

    std::uint8_t approval[5] = {};
    hex::decode(app.Homologation, approval);
    record = {9, 0, 0, static_cast<std::uint8_t>(tolmak ? 8 : 2)};
    record.insert(record.end(), approval, approval + 5);
    appendRecord(text, "S0", record);

    appendRecord(text, "S0", std::vector<std::uint8_t>{5, 0, 0, 3, app.CalibrationMarker()});
    appendRecord(text, "S0",
                 std::vector<std::uint8_t>{7, 0, 0, 4, static_cast<std::uint8_t>(ecu.InterByteDelay), 0,
                                           static_cast<std::uint8_t>(ecu.ReplyToRequestDelay)});
    appendRecord(
        text, "S0",
        std::vector<std::uint8_t>{6, 0, 0, 5, static_cast<std::uint8_t>(granularityExponent(ecu.FillPattern)),
                                  ecu.FillPattern.empty() ? std::uint8_t{0}
                                                          : ecu.FillPattern.at(ecu.FillPattern.first())});
    appendRecord(
        text, "S0",
        std::vector<std::uint8_t>{
            5, 0, 0, 6, static_cast<std::uint8_t>(ecu.WriteGranularity == 256 ? 0 : ecu.WriteGranularity)});

    std::uint8_t line[4 + 32];
    for (const ImageBlock block : app.value()) {
        std::uint64_t a = block.first;
        const std::uint64_t end = block.end();
        while (a < end) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(end - a, 32));
            line[0] = static_cast<std::uint8_t>(n + 4);
            line[1] = static_cast<std::uint8_t>(a >> 16);
            line[2] = static_cast<std::uint8_t>(a >> 8);
            line[3] = static_cast<std::uint8_t>(a);
            std::copy_n(block.bytes.data() + (a - block.first), n, line + 4);
            appendRecord(text, "S2", {line, n + 4});
            out.spill();
            a += n;
        }
    }
    text.append("S804000000FB\r\n");
}

} // namespace zep::srecord
