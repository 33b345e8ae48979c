#include "FlashRoundTrip.h"

#include "flash/EcuApplication.h"
#include "flash/FlashFile.h"
#include "flash/H86File.h"
#include "flash/KwpFile.h"
#include "flash/LineSplitter.h"
#include "flash/SRecordFile.h"
#include "memory/Hex.h"
#include "memory/MemImage.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"

#include <vector>

namespace zep::fuzz {

namespace {

constexpr std::uint64_t limit16M = 0x1000000;

bool beyond16M(const MemImage& image) {
    return !image.empty() && image[image.count() - 1].end() > limit16M;
}

/** blocks in ascending order, none empty, none overlapping the next */
std::string wellFormed(const MemImage& image) {
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < image.count(); ++i) {
        const ImageBlock block = image[i];
        if (block.size() == 0)
            return "the image holds an empty block";
        if (i > 0 && image[i - 1].end() > block.first)
            return "the image's blocks overlap or are out of order";
        bytes += block.size();
    }
    if (bytes != image.byteCount())
        return "the image's byte count differs from its blocks";
    return {};
}

/** the fields both S-record and KWP files carry besides the image */
std::string compareCommon(const EcuApplication& read, const EcuApplication& back) {
    if (!read.value().sameContent(back.value()))
        return "the image read back differs";
    if (!(read.Identification() == back.Identification()))
        return "the identification read back differs";
    if (read.Homologation != back.Homologation)
        return "the approval number read back differs: " + read.Homologation + " became " + back.Homologation;
    if (read.CalibrationMarker() != back.CalibrationMarker())
        return "the calibration marker read back differs";
    if (read.Ecu().InterByteDelay != back.Ecu().InterByteDelay ||
        read.Ecu().ReplyToRequestDelay != back.Ecu().ReplyToRequestDelay)
        return "the delays read back differ";
    return {};
}

} // namespace

std::string checkLines(std::string_view text) {
    // Split at CR LF, or at LF when there is no CR LF; the text after the last delimiter is no line;
    // lines lose their trailing blanks.
    const std::string_view delimiter = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    std::vector<std::string_view> expected;
    for (std::size_t position = 0;;) {
        const std::size_t end = text.find(delimiter, position);
        if (end == std::string_view::npos)
            break;
        std::string_view line = text.substr(position, end - position);
        while (!line.empty() && line.back() == ' ')
            line.remove_suffix(1);
        expected.push_back(line);
        position = end + delimiter.size();
    }
    const LineSplitter::Delimiter kind = expected.empty()    ? LineSplitter::Delimiter::None
                                         : delimiter == "\n" ? LineSplitter::Delimiter::Lf
                                                             : LineSplitter::Delimiter::CrLf;

    LineSplitter lines(text);
    if (lines.delimiter() != kind)
        return "the line splitter takes another delimiter";
    std::string_view line;
    std::size_t number = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (!lines.next(line, number))
            return "the line splitter stops after " + std::to_string(i) + " lines of " +
                   std::to_string(expected.size());
        if (number != i + 1 || line != expected[i])
            return "the line splitter gives another line " + std::to_string(i + 1);
    }
    if (lines.next(line, number))
        return "the line splitter gives more than " + std::to_string(expected.size()) + " lines";
    return {};
}

std::string checkSRecord(std::string_view text) {
    if (std::string problem = checkLines(text); !problem.empty())
        return problem;
    SilentInteraction ui;
    EcuApplication app;
    try {
        srecord::read(text, app, ui);
    } catch (const ZepError&) {
        return {};
    }
    if (std::string problem = wellFormed(app.value()); !problem.empty())
        return problem;
    // A file without a granularity record leaves the erase pattern empty, which the writer refuses.
    if (app.Ecu().FillPattern.empty()) {
        MemBlock erased(1);
        erased.fill(0xFF);
        app.Ecu().FillPattern = erased;
    }
    try {
        srecord::check(app);
    } catch (const ZepError& e) {
        // S1 to S3 records can place data up to 16 Megabytes plus a record's length; nothing else
        // that was read may be refused.
        if (beyond16M(app.value()))
            return {};
        return "the writer refuses what was read: " + e.description();
    }
    OutputBuffer out;
    srecord::write(app, out);
    EcuApplication back;
    try {
        srecord::read(out.text(), back, ui);
    } catch (const ZepError& e) {
        return "the written file is refused: " + e.description();
    }
    if (std::string problem = compareCommon(app, back); !problem.empty())
        return problem;
    if (app.Ecu().WriteGranularity != back.Ecu().WriteGranularity)
        return "the write granularity read back differs";
    if (!(app.Ecu().FillPattern == back.Ecu().FillPattern))
        return "the erase pattern read back differs";
    return {};
}

std::string checkH86(std::string_view text) {
    if (std::string problem = checkLines(text); !problem.empty())
        return problem;
    SilentInteraction ui;
    MemImage image;
    std::optional<StartAddress> start;
    try {
        start = h86::read(text, image, ui);
    } catch (const ZepError&) {
        return {};
    }
    if (std::string problem = wellFormed(image); !problem.empty())
        return problem;
    OutputBuffer out;
    h86::write(image, start, out);
    MemImage back;
    std::optional<StartAddress> startBack;
    try {
        startBack = h86::read(out.text(), back, ui);
    } catch (const ZepError& e) {
        return "the written file is refused: " + e.description();
    }
    if (!image.sameContent(back))
        return "the image read back differs";
    if (start != startBack)
        return "the start address read back differs";
    return {};
}

std::string checkKwp(std::span<const std::uint8_t> stream) {
    // The text dump shows every byte once, in order, whatever the stream holds.
    std::string dump = kwp::toText(stream);
    std::erase(dump, '\r');
    std::erase(dump, '\n');
    if (dump != hex::encode(stream))
        return "the text dump does not show the stream's bytes";

    // The tester address, and so which streams parse, depends on the identification type.
    for (const std::int32_t identificationType : {0, 1}) {
        EcuApplication app;
        app.Ecu().IdentificationType = identificationType;
        try {
            kwp::parse(stream, app);
        } catch (const ZepError&) {
            continue;
        }
        if (std::string problem = wellFormed(app.value()); !problem.empty())
            return problem;
        if (!kwp::complete(stream))
            return "a stream that parses is not complete";
        // The smallest and the largest downloads: one byte per frame, and long frames.
        for (const std::int32_t downloadSize : {1, kwp::MaxDownloadSize}) {
            EcuApplication copy = app;
            copy.Ecu().WriteGranularity = downloadSize;
            MemBlock built;
            try {
                built = kwp::build(copy);
            } catch (const ZepError& e) {
                // A frame's three address bytes hold data up to 16 Megabytes plus a frame's length.
                if (beyond16M(app.value()))
                    continue;
                return "the builder refuses what was parsed: " + e.description();
            }
            EcuApplication back;
            back.Ecu().IdentificationType = identificationType;
            try {
                kwp::parse(built.bytes(), back);
            } catch (const ZepError& e) {
                return "the built stream is refused: " + e.description();
            }
            if (std::string problem = compareCommon(app, back); !problem.empty())
                return problem;
            if (app.SpareHeaderByte() != back.SpareHeaderByte() || app.Ecu().Address != back.Ecu().Address)
                return "the header read back differs";
        }
    }
    return {};
}

} // namespace zep::fuzz
