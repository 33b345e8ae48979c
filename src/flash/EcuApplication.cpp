#include "EcuApplication.h"

#include "FlashFile.h"
#include "H86File.h"
#include "KwpFile.h"
#include "SRecordFile.h"

#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/TextCatalog.h"

namespace zep {

EcuApplication::EcuApplication() : identification_(IdentificationLength) {
    identification_.set(7, ' ');
    identification_.set(8, ' ');
    identification_.set(9, ' ');
}

std::string EcuApplication::hexField(int position, int length) const {
    return hex::encode(identification_.bytes().subspan(static_cast<std::size_t>(position - 1),
                                                       static_cast<std::size_t>(length)));
}

void EcuApplication::setHexField(int position, int length, const std::string& text) {
    std::uint8_t bytes[5];
    if (text.size() != static_cast<std::size_t>(2 * length) || !hex::decode(text, bytes))
        throw ZepError(errors::InvalidArgument,
                       tr("EcuApplication/Messages/invalidHexField/text",
                          "\"{0}\" is not {1} hexadecimal digits", text, 2 * length));
    for (int i = 0; i < length; ++i)
        identification_.set(position + i, bytes[i]);
}

std::string EcuApplication::Fournisseur() const {
    std::string out;
    for (int p = 7; p <= 9; ++p) {
        const std::uint8_t c = identification_.at(p);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

void EcuApplication::setFournisseur(const std::string& text) {
    // Characters are stored as Latin-1 bytes; characters beyond it become "?".
    std::size_t i = 0;
    for (int p = 7; p <= 9; ++p) {
        if (i >= text.size())
            throw ZepError(errors::InvalidArgument,
                           tr("EcuApplication/Messages/shortSupplier/text",
                              "The supplier code \"{0}\" has fewer than 3 characters", text));
        const auto lead = static_cast<unsigned char>(text[i]);
        std::uint32_t code = lead;
        std::size_t extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        if (extra > 0) {
            code = lead & (0x3F >> extra);
            for (std::size_t k = 1; k <= extra && i + k < text.size(); ++k)
                code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += 1 + extra;
        identification_.set(p, code <= 0xFF ? static_cast<std::uint8_t>(code) : '?');
    }
}

void EcuApplication::setFournisseurHex(const std::string& text) {
    std::uint8_t bytes[3];
    const std::string stored = text.size() == 6 ? text : "202020";
    if (!hex::decode(stored, bytes))
        throw ZepError(errors::InvalidArgument, tr("EcuApplication/Messages/invalidHexField/text",
                                                   "\"{0}\" is not {1} hexadecimal digits", text, 6));
    for (int i = 0; i < 3; ++i)
        identification_.set(7 + i, bytes[i]);
}

void EcuApplication::setIdentification(const MemBlock& block) {
    if (block.length() != IdentificationLength)
        throw ZepError(errors::InvalidArgument,
                       "An identification block has 24 bytes, not " + std::to_string(block.length()));
    identification_.setBytes(block.bytes());
}

void EcuApplication::setToolAddress(int address) {
    if (address < 0 || address > 255)
        throw ZepError(6, "Overflow: tool address " + std::to_string(address));
    toolAddress_ = static_cast<std::uint8_t>(address);
}

MemBlock EcuApplication::KWPFile() {
    return kwp::build(*this);
}

void EcuApplication::setKWPFile(const MemBlock& stream) {
    kwp::parse(stream.bytes(), *this);
}

void EcuApplication::setKWPFile(std::span<const std::uint8_t> stream) {
    kwp::parse(stream, *this);
}

void EcuApplication::ImportFromKWPFile(const std::string& path) {
    const FileBytes file(path);
    kwp::parse(file.bytes(), *this, file.releaser());
}

void EcuApplication::ImportFromSFile(const std::string& path, Interaction& ui) {
    const FileBytes file(path);
    srecord::read(file.text(), *this, ui, file.releaser());
}

void EcuApplication::ExportToSFile(const std::string& path) const {
    writeWholeFile(
        path, [this](OutputBuffer& out) { srecord::write(*this, out); }, [this] { srecord::check(*this); });
}

void EcuApplication::ImportFromH86File(const std::string& path, Interaction& ui) {
    const FileBytes file(path);
    Header.reset();
    Start.reset();
    Start = h86::read(file.text(), image_, ui, file.releaser());
}

void EcuApplication::ExportToH86File(const std::string& path) const {
    writeWholeFile(path, [this](OutputBuffer& out) { h86::write(image_, Start, out); });
}

void EcuApplication::ExportToKWPFile(const std::string& path) {
    writeWholeFile(path, [this](OutputBuffer& out) { kwp::write(*this, out); });
}

std::string HexWithWidth(std::uint64_t value, int width) {
    return hex::withWidth(value, width);
}

std::uint8_t RecordChecksum(const MemBlock& record) {
    const auto b = record.bytes();
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < b.size(); ++i)
        sum += b[i];
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

} // namespace zep
