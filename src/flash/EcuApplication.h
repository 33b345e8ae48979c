#pragma once

#include "StartAddress.h"
#include "ZEPEcu.h"

#include "memory/MemBlock.h"
#include "memory/MemImage.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zep {

class Interaction;

/**
 * One application (software image) or tuning (calibration image): its bytes, its 24-byte
 * identification block, its approval number, its calibration marker, the tester address of request
 * files and the ECU it belongs to.
 *
 * The file operations raise ZepError 1000 with a localised message; the readers change the record as
 * they go (see each format).
 */
class EcuApplication {
public:
    static constexpr int IdentificationLength = 24;
    static constexpr std::uint8_t TuningMarker = 0x81;
    static constexpr std::uint8_t ApplicationMarker = 0x82;

    EcuApplication();

    // Identification block fields; hex fields are upper-case digits, most significant byte first.
    std::string PIE() const { return hexField(1, 5); }
    void setPIE(const std::string& hex) { setHexField(1, 5, hex); }
    std::uint8_t IndiceDiag() const { return identification_.at(6); }
    void setIndiceDiag(std::uint8_t value) { identification_.set(6, value); }
    /** three characters, one per byte (Latin-1), as UTF-8 text */
    std::string Fournisseur() const;
    /** stores the first three characters; a shorter text stores what it has, then fails */
    void setFournisseur(const std::string& text);
    std::string FournisseurHex() const { return hexField(7, 3); }
    /** a text of another length than 6 stores "202020" */
    void setFournisseurHex(const std::string& hex);
    std::string Hardware() const { return hexField(10, 5); }
    void setHardware(const std::string& hex) { setHexField(10, 5, hex); }
    std::string Software() const { return hexField(15, 2); }
    void setSoftware(const std::string& hex) { setHexField(15, 2, hex); }
    std::string Version() const { return hexField(17, 2); }
    void setVersion(const std::string& hex) { setHexField(17, 2, hex); }
    std::string Calibration() const { return hexField(19, 2); }
    void setCalibration(const std::string& hex) { setHexField(19, 2, hex); }
    std::string Reserve() const { return hexField(21, 4); }
    void setReserve(const std::string& hex) { setHexField(21, 4, hex); }
    /** a copy of the block */
    MemBlock Identification() const { return identification_; }
    /** copies the given bytes into the record's block */
    void setIdentification(const MemBlock& block);

    std::string Homologation = "0000000000";

    // What the file last read carried besides the image, for the user to see; each reader sets both.
    /** the start address an Intel-hex start record or an S-record end record gave */
    std::optional<StartAddress> Start;
    /** the text of an S-record file's own header: an S0 record of no identification kind */
    std::optional<std::string> Header;

    /** the image itself: what a caller changes changes the record */
    MemImage& value() { return image_; }
    const MemImage& value() const { return image_; }

    bool EstCalibration() const { return marker_ == TuningMarker; }
    void setEstCalibration(bool tuning) { marker_ = tuning ? TuningMarker : ApplicationMarker; }
    std::uint8_t CalibrationMarker() const { return marker_; }
    void setCalibrationMarker(std::uint8_t marker) { marker_ = marker; }
    /** the header byte of request files that is carried from an imported file to an exported one */
    std::uint8_t SpareHeaderByte() const { return spare_; }
    void setSpareHeaderByte(std::uint8_t value) { spare_ = value; }

    std::uint8_t ToolAddress() const { return toolAddress_; }
    /** 0 to 255; anything else is an overflow error */
    void setToolAddress(int address);

    ZEPEcu& Ecu() { return ecu_; }
    const ZEPEcu& Ecu() const { return ecu_; }

    /** the KWP request stream of the record */
    MemBlock KWPFile();
    /** parses a KWP request stream into the record; the Ecu's IdentificationType must be set first */
    void setKWPFile(const MemBlock& stream);
    void setKWPFile(std::span<const std::uint8_t> stream);
    /** setKWPFile with the bytes of a file */
    void ImportFromKWPFile(const std::string& path);

    void ImportFromSFile(const std::string& path, Interaction& ui);
    void ExportToSFile(const std::string& path) const;
    void ImportFromH86File(const std::string& path, Interaction& ui);
    void ExportToH86File(const std::string& path) const;
    void ExportToKWPFile(const std::string& path);

private:
    std::string hexField(int position, int length) const;
    void setHexField(int position, int length, const std::string& hex);

    MemBlock identification_;
    MemImage image_;
    std::uint8_t marker_ = ApplicationMarker;
    std::uint8_t spare_ = 0;
    std::uint8_t toolAddress_ = 0xF1;
    ZEPEcu ecu_;
};

/** hexadecimal digits of value, left-padded with "0" to width, or its width rightmost digits */
std::string HexWithWidth(std::uint64_t value, int width);
/** two's complement of the sum of every byte of record but the last (where the checksum goes) */
std::uint8_t RecordChecksum(const MemBlock& record);

} // namespace zep
