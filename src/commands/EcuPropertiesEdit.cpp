#include "EcuPropertiesEdit.h"

#include "flash/ZEPEcu.h"
#include "memory/ZepError.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace zep {

namespace {

/** the value of a text the way a user reads a number; nullopt for anything else */
std::optional<double> numberOf(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::int32_t int32Of(const QString& text) {
    const double value = numberOf(text).value_or(0);
    const double limited = std::clamp(std::round(value), double(std::numeric_limits<std::int32_t>::min()),
                                      double(std::numeric_limits<std::int32_t>::max()));
    return static_cast<std::int32_t>(limited);
}

QString wholeBytes(QString text) {
    if (text.size() % 2 != 0)
        text.chop(1);
    return text;
}

MemBlock patternOf(const QString& text) {
    try {
        return MemBlock::fromHex(wholeBytes(text).toStdString());
    } catch (const ZepError&) {
        return {};
    }
}

QString delayText(const QString& typed) {
    const auto value = numberOf(typed);
    if (!value || *value < 0)
        return QStringLiteral("0");
    if (*value > 255)
        return QStringLiteral("255");
    return typed;
}

QString hexText(const MemBlock& block) {
    return QString::fromStdString(block.toHex()).left(EcuPropertiesEdit::MaxPatternDigits);
}

} // namespace

EcuPropertiesEdit::EcuPropertiesEdit(const ZEPEcu& ecu)
    : comment(ecu.Commentaire), uploadWithCrc(ecu.UploadRL == ZEPEcu::UploadWithCrc) {
    // The stored values obey the rules too: a stored delay of 300 shows as 255.
    type(Box::InterByteDelay, QString::number(ecu.InterByteDelay));
    type(Box::ReplyToRequestDelay, QString::number(ecu.ReplyToRequestDelay));
    type(Box::FillPattern, hexText(ecu.FillPattern));
    type(Box::WriteGranularity, QString::number(ecu.FillPattern.length()));
    type(Box::MaxDownload, QString::number(ecu.WriteGranularity));
    type(Box::RepeatPattern, hexText(ecu.RepeatPattern));
}

void EcuPropertiesEdit::type(Box box, const QString& typed) {
    switch (box) {
    case Box::InterByteDelay:
    case Box::ReplyToRequestDelay:
        at(box) = delayText(typed);
        return;
    case Box::MaxDownload:
        at(box) = numberOf(typed) ? typed : QStringLiteral("48");
        return;
    case Box::WriteGranularity:
        granularityTyped(typed);
        return;
    case Box::FillPattern:
        // the granularity follows the pattern: its whole bytes
        at(Box::FillPattern) = typed;
        at(Box::WriteGranularity) = QString::number(typed.size() / 2);
        return;
    case Box::RepeatPattern:
        at(box) = typed;
        return;
    }
}

void EcuPropertiesEdit::granularityTyped(QString typed) {
    // A text that is no granularity is replaced, and the replacement obeys the rules in turn.
    const auto number = numberOf(typed);
    double value = number.value_or(1);
    if (!number) {
        typed = QStringLiteral("1");
    } else if (value < 0) {
        value = 0;
        typed = QStringLiteral("0");
    } else if (value > MaxGranularity) {
        value = MaxGranularity;
        typed = QString::number(MaxGranularity);
    }
    at(Box::WriteGranularity) = typed;

    // An even pattern is resized to the granularity: new bytes repeat its first byte (FF for none).
    QString& pattern = at(Box::FillPattern);
    const int granularity = int(std::lround(value));
    if (pattern.size() % 2 != 0 || granularity == pattern.size() / 2)
        return;
    QString resized = pattern.left(2 * granularity);
    const QString extra = pattern.isEmpty() ? QStringLiteral("FF") : pattern.left(2);
    while (resized.size() < 2 * granularity)
        resized += extra;
    pattern = resized;
    at(Box::WriteGranularity) = QString::number(granularity);
}

void EcuPropertiesEdit::leave(Box box) {
    if (box == Box::FillPattern || box == Box::RepeatPattern)
        type(box, wholeBytes(text(box)));
}

void EcuPropertiesEdit::writeTo(ZEPEcu& ecu) const {
    ecu.InterByteDelay = int32Of(text(Box::InterByteDelay));
    ecu.ReplyToRequestDelay = int32Of(text(Box::ReplyToRequestDelay));
    ecu.Commentaire = comment;
    ecu.FillPattern = patternOf(text(Box::FillPattern));
    ecu.WriteGranularity = int32Of(text(Box::MaxDownload));
    ecu.RepeatPattern = patternOf(text(Box::RepeatPattern));
    ecu.UploadRL = uploadWithCrc ? ZEPEcu::UploadWithCrc : ZEPEcu::UploadWithoutCrc;
}

} // namespace zep
