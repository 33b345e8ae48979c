#include "H86File.h"

#include "FlashFile.h"
#include "LineSplitter.h"

#include "memory/Hex.h"
#include "memory/MemImage.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <vector>

namespace zep::h86 {

namespace {
[[noreturn]] void fail(const char* name, const char* def, std::size_t line) {
    throw ZepError(errors::File,
                   tr(std::string("EcuApplication/Messages/importFromH86File/") + name + "/text", def, line));
}

/** the length of the line a record's count announces (colon, count, offset, type, data, checksum); 0 if none
 */
std::size_t expectedLength(std::string_view rest) {
    if (rest.size() < 3 || rest[0] != ':')
        return 0;
    const int high = hex::digitValue(rest[1]), low = hex::digitValue(rest[2]);
    return high < 0 || low < 0 ? 0 : 11 + 2 * static_cast<std::size_t>(high << 4 | low);
}

// A record is formatted in place, in room made once for the whole line.
void appendRecord(std::string& out, std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    const std::uint8_t checksum = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    const std::size_t start = out.size();
    out.resize(start + 1 + 2 * bytes.size() + 4);
    char* p = out.data() + start;
    p[0] = ':';
    p = hex::put(hex::put(p + 1, bytes), {&checksum, 1});
    p[0] = '\r';
    p[1] = '\n';
}
} // namespace

std::optional<StartAddress> read(std::string_view text, MemImage& image, Interaction& ui,
                                 const ReleaseBytes& release) {
    LineSplitter lines(text, release);
    if (lines.delimiter() == LineSplitter::Delimiter::Lf)
        ui.warn(tr("EcuApplication/Messages/importFromH86File/lineDelimiterWarning/text",
                   "File should use CRLF as line delimiter."));
    image.clear();
    image.reserve(text.size() / 2, text.size() / 64);
    std::uint64_t base = 0;
    std::optional<StartAddress> start;
    std::vector<std::uint8_t> bytes;
    std::string_view line;
    std::size_t number = 0;

    while (lines.next(line, number, expectedLength(lines.rest()))) {
        if (line.empty())
            continue;
        if (line.front() != ':')
            fail("colonMissing", ": missing at line {0}", number);
        const std::string_view digits = line.substr(1);
        bytes.resize(digits.size() / 2);
        unsigned sum = 0;
        if (!hex::decode(digits, bytes.data(), sum))
            fail("invalidHexadecimal", "Invalid hexadecimal digits at line {0}", number);
        if ((sum & 0xFF) != 0)
            fail("checksumError", "Checksum error at line {0}", number);
        const std::size_t n = bytes.size();
        if (n < 5 || bytes[0] != n - 5)
            fail("badLength", "Bad length at line {0}", number);
        const std::size_t count = bytes[0];
        const std::uint32_t offset = std::uint32_t{bytes[1]} << 8 | bytes[2];
        const std::uint8_t* data = bytes.data() + 4;
        switch (bytes[3]) {
        case 0: {
            const std::uint64_t address = base + offset;
            if (address + count > (std::uint64_t{1} << 32))
                fail("beyondAddressSpace", "Data beyond the 32-bit address space at line {0}", number);
            image.add(static_cast<std::uint32_t>(address), {data, count});
            break;
        }
        case 1:
            break;
        case 2:
        case 4:
            if (count < 2)
                fail("badLength", "Bad length at line {0}", number);
            base = (std::uint64_t{data[0]} << 8 | data[1]) * (bytes[3] == 2 ? 16 : 65536);
            break;
        case 3:
        case 5:
            // Start records are not part of the format these files were first made for, but every
            // toolchain writes one: the address is kept, so that an H86 file written again has it.
            if (count != 4)
                fail("badLength", "Bad length at line {0}", number);
            start = StartAddress{bytes[3] == 3 ? StartAddress::Kind::Segment : StartAddress::Kind::Linear,
                                 std::uint32_t{data[0]} << 24 | std::uint32_t{data[1]} << 16 |
                                     std::uint32_t{data[2]} << 8 | data[3]};
            break;
        default:
            throw ZepError(errors::File,
                           tr("EcuApplication/Messages/importFromH86File/unsupportedRecordType/text",
                              "Unsupported record type {0}H at line {1}", hex::number(bytes[3]), number));
        }
    }
    return start;
}

void write(const MemImage& image, const std::optional<StartAddress>& start, OutputBuffer& out) {
    std::string& text = out.text();
    text.append(":020000040000FA\r\n");
    std::uint64_t page = 0;
    std::uint8_t record[4 + 32];
    for (const ImageBlock block : image) {
        std::uint64_t a = block.first;
        const std::uint64_t end = block.end();
        while (a < end) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(end - a, 32));
            if (a >> 16 != page) {
                page = a >> 16;
                const std::uint8_t pageRecord[] = {
                    2, 0, 0, 4, static_cast<std::uint8_t>(page >> 8), static_cast<std::uint8_t>(page)};
                appendRecord(text, pageRecord);
            }
            record[0] = static_cast<std::uint8_t>(n);
            record[1] = static_cast<std::uint8_t>(a >> 8);
            record[2] = static_cast<std::uint8_t>(a);
            record[3] = 0;
            std::copy_n(block.bytes.data() + (a - block.first), n, record + 4);
            appendRecord(text, {record, n + 4});
            out.spill();
            a += n;
        }
    }
    if (start) {
        std::uint8_t startRecord[8] = {
            4, 0, 0, start->kind == StartAddress::Kind::Segment ? std::uint8_t{3} : std::uint8_t{5}};
        for (int i = 0; i < 4; ++i)
            startRecord[4 + i] = static_cast<std::uint8_t>(start->value >> (24 - 8 * i));
        appendRecord(text, startRecord);
    }
    text.append(":00000001FF");
}

} // namespace zep::h86
