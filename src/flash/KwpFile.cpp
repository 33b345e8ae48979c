#include "KwpFile.h"

#include "EcuApplication.h"

#include "memory/Hex.h"
#include "memory/KwpCrc.h"
#include "memory/ZepError.h"
#include "text/TextCatalog.h"

#include <vector>

namespace zep::kwp {

namespace {

constexpr std::uint8_t headerLength = 33;
constexpr std::uint8_t downloadService = 0x34;
constexpr std::size_t releaseStep = std::size_t{4} << 20;

[[noreturn]] void fail(const char* name, const char* def, const std::string& a0 = {},
                       const std::string& a1 = {}) {
    throw ZepError(errors::File,
                   tr(std::string("EcuApplication/Messages/KWPFile/") + name + "/text", def, a0, a1));
}

std::uint8_t sum(const std::uint8_t* from, std::size_t count) {
    unsigned s = 0;
    for (std::size_t i = 0; i < count; ++i)
        s += from[i];
    return static_cast<std::uint8_t>(s);
}

void refuseOutOfByte(const char* name, std::int64_t value) {
    if (value < 0 || value > 255)
        fail("valueOutOfRange", "{0} = {1} cannot be written in a KWP file: it must be from 0 to 255.", name,
             std::to_string(value));
}

/** a download frame of n bytes (at most MaxDownloadSize) into frame; its length */
std::size_t downloadFrame(std::uint8_t* frame, std::uint8_t target, std::uint8_t source, std::uint8_t marker,
                          std::uint32_t address, const std::uint8_t* bytes, std::size_t n) {
    const std::size_t length = n + 8;
    std::size_t p = 0;
    frame[p++] = n < 56 ? static_cast<std::uint8_t>(0x80 + length) : 0x80;
    frame[p++] = target;
    frame[p++] = source;
    if (n >= 56)
        frame[p++] = static_cast<std::uint8_t>(length);
    std::uint8_t* data = frame + p;
    data[0] = downloadService;
    data[1] = marker;
    data[2] = static_cast<std::uint8_t>(address >> 16);
    data[3] = static_cast<std::uint8_t>(address >> 8);
    data[4] = static_cast<std::uint8_t>(address);
    data[5] = static_cast<std::uint8_t>(n);
    std::copy_n(bytes, n, data + 6);
    KwpCrc crc;
    crc.add({data, n + 6});
    data[n + 6] = static_cast<std::uint8_t>(crc.value() >> 8);
    data[n + 7] = static_cast<std::uint8_t>(crc.value() & 0xFF);
    p += length;
    frame[p] = sum(frame, p);
    return p + 1;
}

/**
 * The stream of app, handed to sink a frame at a time, so that a file is written as it is made; every
 * refusal comes before the first frame.
 */
template <typename Sink> void produce(EcuApplication& app, Sink&& sink) {
    const ZEPEcu& ecu = app.Ecu();
    app.setToolAddress(testerAddress(ecu.IdentificationType));

    // Everything that cannot be written is refused before anything is built.
    refuseOutOfByte("InterByteDelay", ecu.InterByteDelay);
    refuseOutOfByte("ReplyToRequestDelay", ecu.ReplyToRequestDelay);
    std::uint8_t approval[5];
    if (app.Homologation.size() != 10 || !hex::decode(app.Homologation, approval))
        fail("invalidApprovalNumber", "The approval number \"{0}\" is not 10 hexadecimal digits.",
             app.Homologation);
    const std::int32_t m = ecu.WriteGranularity;
    if (m > MaxDownloadSize)
        fail("invalidEcuDownloadSize",
             "Invalid ECU download size ({0} bytes).{crlf}It must be lower or equal than {1} bytes.",
             std::to_string(m), "247");
    if (m < 1)
        fail("nonPositiveDownloadSize",
             "Invalid ECU download size ({0} bytes).{crlf}It must be at least 1 byte.", std::to_string(m));
    const std::size_t g = ecu.FillPattern.length();
    const std::uint8_t e = g > 0 ? ecu.FillPattern.at(ecu.FillPattern.first()) : 0;
    for (const ImageBlock block : app.value()) {
        if (g > 0 && block.first % g != 0)
            fail("illegalStartAddress", "Illegal start address {0}H", hex::number(block.first));
        if (g > 0 && block.end() % g != 0)
            fail("illegalEndAddress", "Illegal end address {0}H", hex::number(block.last()));
        if (block.end() > 0x1000000)
            fail("addressBeyond16M", "Address {0}H is beyond 16 Megabytes: download frames cannot hold it.",
                 hex::number(std::max<std::uint64_t>(block.first, 0x1000000)));
    }

    std::vector<std::uint8_t> out;
    out.push_back(0x80 + headerLength);
    out.push_back(ecu.Address);
    out.push_back(0);
    const MemBlock identification = app.Identification();
    out.insert(out.end(), identification.bytes().begin(), identification.bytes().end());
    out.insert(out.end(), approval, approval + 5);
    out.push_back(app.CalibrationMarker());
    out.push_back(static_cast<std::uint8_t>(ecu.InterByteDelay));
    out.push_back(app.SpareHeaderByte());
    out.push_back(static_cast<std::uint8_t>(ecu.ReplyToRequestDelay));
    out.push_back(sum(out.data(), out.size()));
    sink(std::span<const std::uint8_t>(out));

    std::uint8_t frame[4 + MaxDownloadSize + 9];

    for (const ImageBlock block : app.value()) {
        std::uint64_t a = block.first;
        const std::uint64_t end = block.end();
        while (a < end) {
            if (g > 0 && a % g == 0) {
                const std::uint8_t* from = block.bytes.data() + (a - block.first);
                std::size_t run = 0;
                while (a + run < end && from[run] == e)
                    ++run;
                run -= run % g;
                a += run; // erased write units are not downloaded
                if (a >= end)
                    break;
            }
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(end - a, static_cast<std::uint64_t>(m)));
            sink(std::span<const std::uint8_t>(
                frame,
                downloadFrame(frame, ecu.Address, app.ToolAddress(), app.CalibrationMarker(),
                              static_cast<std::uint32_t>(a), block.bytes.data() + (a - block.first), n)));
            a += n;
        }
    }
}

} // namespace

std::uint8_t testerAddress(std::int32_t identificationType) {
    return identificationType == 1 ? 0xFC : 0xF1;
}

MemBlock build(EcuApplication& app) {
    std::vector<std::uint8_t> out;
    // Room for the whole stream: the bytes, and at most 13 bytes of frame around every download.
    const std::int32_t m = std::max(app.Ecu().WriteGranularity, 1);
    std::size_t frames = 0;
    for (const ImageBlock block : app.value())
        frames += (block.size() + static_cast<std::size_t>(m) - 1) / static_cast<std::size_t>(m);
    out.reserve(37 + static_cast<std::size_t>(app.value().byteCount()) + 13 * frames);
    produce(app, [&out](std::span<const std::uint8_t> bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    });
    return MemBlock(1, std::move(out));
}

void write(EcuApplication& app, OutputBuffer& out) {
    produce(app, [&out](std::span<const std::uint8_t> bytes) { out.append(bytes); });
}

void parse(std::span<const std::uint8_t> stream, EcuApplication& app, const ReleaseBytes& release) {
    ZEPEcu& ecu = app.Ecu();
    MemImage& image = app.value();
    image.clear();
    const std::size_t size = stream.size();
    const std::uint8_t* s = stream.data();

    // Header frame. Positions are 0-based here: p is the format byte.
    std::size_t p = 0;
    if (size == 0)
        fail("formatError", "Format error");
    std::size_t length = s[0] & 0x3F;
    if (length < headerLength || length + 3 >= size)
        fail("formatError", "Format error");
    if (s[length + 3] != sum(s, length + 3))
        fail("checksumError", "Checksum error");
    ecu.Address = s[1];
    if (s[2] != 0)
        fail("nonNullToolAddress", "Error : non null tool address");
    const std::uint8_t* header = s + 3;
    app.setIdentification(MemBlock(1, {header, 24}));
    app.Homologation = hex::encode({header + 24, 5});
    app.setCalibrationMarker(header[29]);
    ecu.InterByteDelay = header[30];
    app.setSpareHeaderByte(header[31]);
    ecu.ReplyToRequestDelay = header[32];
    p = length + 4;
    app.setToolAddress(testerAddress(ecu.IdentificationType));

    image.reserve(size, size / 13 + 1); // the shortest download frame has 13 bytes
    std::size_t released = 0;
    while (p < size) {
        if (release && p - released >= releaseStep) {
            release(released, p);
            released = p;
        }
        length = s[p] & 0x3F;
        std::size_t data, checksum;
        if (length > 0) {
            data = p + 3;
            checksum = p + length + 3;
        } else {
            if (p + 3 >= size)
                fail("formatError", "Format error");
            length = s[p + 3];
            if (length == 0)
                fail("formatError", "Format error");
            data = p + 4;
            checksum = p + length + 4;
        }
        if (checksum >= size)
            fail("formatError", "Format error");
        if (s[checksum] != sum(s + p, checksum - p))
            fail("checksumError", "Checksum error");
        if (s[p + 1] != ecu.Address)
            fail("ecuAddressError", "ECU address error");
        if (s[p + 2] != app.ToolAddress())
            fail("toolAddressError", "TOOL address error");
        const std::uint8_t* d = s + data;
        if (d[0] != downloadService)
            fail("serviceError", "Service error");
        if (length < 2 || d[1] != app.CalibrationMarker())
            fail("logicalMarkerError", "Logical marker error");
        if (length < 8 || d[5] != length - 8)
            fail("lengthError", "Length error");
        KwpCrc crc;
        crc.add({d, length});
        if (!crc.valid())
            fail("crcError", "CRC error");
        const std::uint32_t address = std::uint32_t{d[2]} << 16 | std::uint32_t{d[3]} << 8 | d[4];
        image.add(address, {d + 6, length - 8});
        p = checksum + 1;
    }
}

std::string toText(std::span<const std::uint8_t> stream) {
    std::string out;
    out.reserve(stream.size() * 2 + stream.size() / 16);
    std::size_t p = 0;
    const std::size_t size = stream.size();
    while (p < size) {
        std::size_t length = stream[p] & 0x3F;
        const std::size_t head = std::min<std::size_t>(3, size - p);
        hex::append(out, stream.subspan(p, head));
        p += head;
        if (length == 0 && p < size) {
            length = stream[p];
            hex::appendByte(out, stream[p]);
            ++p;
        }
        const std::size_t rest = std::min(length + 1, size - p);
        hex::append(out, stream.subspan(p, rest));
        p += rest;
        out.append("\r\n");
    }
    return out;
}

bool complete(std::span<const std::uint8_t> stream) {
    std::size_t p = 0;
    while (p < stream.size()) {
        std::size_t length = stream[p] & 0x3F;
        std::size_t head = 3;
        if (length == 0) {
            if (p + 3 >= stream.size())
                return false;
            length = stream[p + 3];
            head = 4;
        }
        if (p + head > stream.size())
            return false;
        p += head + length + 1;
    }
    return true;
}

} // namespace zep::kwp
