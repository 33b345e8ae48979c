#pragma once

#include <QString>

#include <array>
#include <string>

namespace zep {

class ZEPEcu;

/**
 * The ECU properties as the user edits them: the texts of the boxes, the rules every change of a text
 * obeys (delays clamped to 0..255, the write granularity and the erased state coupled) and the record
 * the texts make when the user confirms. The dialog only shows the texts and passes changes on.
 */
class EcuPropertiesEdit {
public:
    /** the boxes whose texts the rules look after */
    enum class Box {
        InterByteDelay,
        ReplyToRequestDelay,
        WriteGranularity,
        FillPattern,
        MaxDownload,
        RepeatPattern
    };

    /** a larger granularity becomes this, so that the pattern box can still hold the pattern */
    static constexpr int MaxGranularity = 65535;
    /** the longest text of a pattern box: MaxGranularity bytes */
    static constexpr int MaxPatternDigits = 2 * MaxGranularity;

    /** the texts of the record's values; a pattern longer than MaxGranularity bytes is cut */
    explicit EcuPropertiesEdit(const ZEPEcu& ecu);

    const QString& text(Box box) const { return texts_[static_cast<std::size_t>(box)]; }

    /** the text of box became typed: the rules may replace it and change the coupled box */
    void type(Box box, const QString& typed);
    /** box lost the focus: a pattern keeps whole bytes, an odd last digit is dropped */
    void leave(Box box);

    /** writes the edited values into ecu: delays, comment, patterns, maximum download and upload mode */
    void writeTo(ZEPEcu& ecu) const;

    std::string comment;
    /** upload with CRC (UploadRL 128), or without (132); a record with another code starts without */
    bool uploadWithCrc = false;

private:
    QString& at(Box box) { return texts_[static_cast<std::size_t>(box)]; }
    void granularityTyped(QString typed);

    std::array<QString, 6> texts_;
};

} // namespace zep
