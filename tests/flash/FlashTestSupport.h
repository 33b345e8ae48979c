#pragma once

#include "support/TestFiles.h"

#include "flash/EcuApplication.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zep::test {

using Bytes = std::vector<std::uint8_t>;

/** the byte pattern the golden files are made of (make_golden.py writes the same) */
inline Bytes pattern(std::size_t n, unsigned seed) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(seed + 7 * i);
    return out;
}

inline Bytes bytesOf(const std::string& hexText) {
    const MemBlock block = MemBlock::fromHex(hexText);
    return Bytes(block.bytes().begin(), block.bytes().end());
}

/** count bytes of bytes from index from */
inline Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::string flashData(const std::string& name) {
    return readFile(dataPath("flash/" + name));
}

enum class Format { SRecord, H86, Kwp };

/** the bytes of text read as a file of the format into app (a KWP file needs no Interaction) */
inline void importText(Format format, const std::string& text, EcuApplication& app, Interaction& ui) {
    TempDir dir;
    writeFile(dir.file("in"), text);
    if (format == Format::SRecord)
        app.ImportFromSFile(dir.file("in"), ui);
    else if (format == Format::H86)
        app.ImportFromH86File(dir.file("in"), ui);
    else
        app.ImportFromKWPFile(dir.file("in"));
}

/** the file app makes in the format */
inline std::string exportText(Format format, EcuApplication& app) {
    TempDir dir;
    if (format == Format::SRecord)
        app.ExportToSFile(dir.file("out"));
    else if (format == Format::H86)
        app.ExportToH86File(dir.file("out"));
    else
        app.ExportToKWPFile(dir.file("out"));
    return readFile(dir.file("out"));
}

/** the lines of a text that ends each with CR LF */
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::size_t p = 0;
    for (std::size_t end; (end = text.find("\r\n", p)) != std::string::npos; p = end + 2)
        out.push_back(text.substr(p, end - p));
    EXPECT_EQ(p, text.size()) << "text after the last CR LF";
    return out;
}

/** the description of the error 1000 that f raises; a test failure when it raises none */
template <typename F> std::string fileError(F&& f) {
    try {
        f();
    } catch (const ZepError& e) {
        EXPECT_EQ(e.number(), errors::File) << e.description();
        return e.description();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

/** an S-record line: type, the bytes with their checksum, CR LF; count is the first of bytes */
inline std::string srecRaw(const std::string& type, const Bytes& bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return type + hex::encode(bytes) + hex::encode(Bytes{static_cast<std::uint8_t>(~sum)}) + "\r\n";
}
/** the same with the count computed */
inline std::string srec(const std::string& type, const Bytes& bytes) {
    return srecRaw(type, Bytes{static_cast<std::uint8_t>(bytes.size() + 1)} + bytes);
}
inline std::string s0(std::uint8_t kind, const Bytes& data) {
    return srec("S0", Bytes{0, 0, kind} + data);
}

/** an Intel-hex record without line end; countDelta makes its count wrong */
inline std::string ihex(std::uint8_t type, std::uint16_t offset, const Bytes& data, int countDelta = 0) {
    const Bytes head{static_cast<std::uint8_t>(data.size() + countDelta),
                     static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset), type};
    const Bytes body = head + data;
    unsigned sum = 0;
    for (std::uint8_t b : body)
        sum += b;
    return ":" + hex::encode(body) + hex::encode(Bytes{static_cast<std::uint8_t>(0x100 - (sum & 0xFF))});
}

/** the identification of the golden files */
inline void setGoldenIdentification(EcuApplication& app) {
    app.setPIE("0123456789");
    app.setIndiceDiag(0x2A);
    app.setFournisseur("ZEP");
    app.setHardware("1122334455");
    app.setSoftware("6677");
    app.setVersion("8899");
    app.setCalibration("AABB");
    app.setReserve("CCDDEEFF");
    app.Homologation = "9876543210";
}

/** the tuning of valdore.s */
inline void makeGoldenTuning(EcuApplication& app) {
    setGoldenIdentification(app);
    app.setEstCalibration(true);
    ZEPEcu& ecu = app.Ecu();
    ecu.InterByteDelay = 5;
    ecu.ReplyToRequestDelay = 20;
    ecu.FillPattern = MemBlock::fromHex("FFFFFFFF");
    ecu.WriteGranularity = 256;
    ecu.IdentificationType = 32768;
    app.value().add(0x010000, pattern(70, 1));
    app.value().add(0x010046, Bytes{0xDE, 0xAD, 0xBE});
    app.value().add(0xFFFFFB, pattern(5, 0x90));
}

/** the application of app.kwp */
inline void makeGoldenApplication(EcuApplication& app) {
    setGoldenIdentification(app);
    ZEPEcu& ecu = app.Ecu();
    ecu.Address = 0x6A;
    ecu.IdentificationType = 1;
    ecu.InterByteDelay = 3;
    ecu.ReplyToRequestDelay = 25;
    ecu.FillPattern = MemBlock::fromHex("FFFFFFFF");
    ecu.WriteGranularity = 64;
    app.value().add(0x012340, Bytes(10, 0xFF) + pattern(90, 9));
    app.value().add(0x020000, Bytes(8, 0xFF));
    app.value().add(0x030000, pattern(56, 10));
}

using Blocks = std::vector<std::pair<std::uint32_t, Bytes>>;

/** the blocks of an image as (address, bytes) pairs, for readable failures */
inline Blocks blocksOf(const MemImage& image) {
    Blocks out;
    for (const ImageBlock b : image)
        out.emplace_back(b.first, Bytes(b.bytes.begin(), b.bytes.end()));
    return out;
}

} // namespace zep::test
