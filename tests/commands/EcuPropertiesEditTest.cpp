#include "commands/EcuPropertiesEdit.h"
#include "flash/ZEPEcu.h"

#include <gtest/gtest.h>

#include <vector>

namespace zep {
namespace {

using Box = EcuPropertiesEdit::Box;

/** a change of a box's text; no text: the box loses the focus */
struct Step {
    Box box;
    const char* typed = nullptr;
};

TEST(EcuPropertiesEdit, EveryChangeObeysTheRules) {
    struct Case {
        const char* pattern; // the record's fill pattern
        std::vector<Step> steps;
        std::string shown; // the last box's text afterwards
        std::string granularity;
        std::string fill;
    };
    const std::string maxPattern(2 * EcuPropertiesEdit::MaxGranularity, '0');
    // clang-format off
    const Case cases[] = {
        {"FF", {{Box::InterByteDelay, "-5"}}, "0", "1", "FF"},
        {"FF", {{Box::InterByteDelay, "300"}}, "255", "1", "FF"},
        {"FF", {{Box::InterByteDelay, "1e2"}}, "1e2", "1", "FF"},
        {"FF", {{Box::ReplyToRequestDelay, "abc"}}, "0", "1", "FF"},
        {"FF", {{Box::ReplyToRequestDelay, ""}}, "0", "1", "FF"},
        {"FF", {{Box::ReplyToRequestDelay, "255"}}, "255", "1", "FF"},
        {"FF", {{Box::MaxDownload, "abc"}}, "48", "1", "FF"},
        {"FF", {{Box::MaxDownload, "4096"}}, "4096", "1", "FF"},
        {"FF", {{Box::WriteGranularity, "4"}}, "4", "4", "FFFFFFFF"},
        {"FF", {{Box::WriteGranularity, "4"}, {Box::WriteGranularity, "1"}}, "1", "1", "FF"},
        {"A501", {{Box::WriteGranularity, "3"}}, "3", "3", "A501A5"},
        {"", {{Box::WriteGranularity, "2"}}, "2", "2", "FFFF"},
        {"0102", {{Box::WriteGranularity, "x"}}, "1", "1", "01"},
        {"0102", {{Box::WriteGranularity, "-2"}}, "0", "0", ""},
        {"0102", {{Box::WriteGranularity, "2.6"}}, "3", "3", "010201"},
        {"0102", {{Box::WriteGranularity, " 02"}}, " 02", " 02", "0102"},
        {"00", {{Box::WriteGranularity, "99999999"}}, "65535", "65535", maxPattern},
        {"FF", {{Box::FillPattern, "0011AA"}}, "0011AA", "3", "0011AA"},
        {"FF", {{Box::FillPattern, "ABC"}}, "ABC", "1", "ABC"},
        {"FF", {{Box::FillPattern, "ABC"}, {Box::WriteGranularity, "4"}}, "4", "4", "ABC"},
        {"FF", {{Box::FillPattern, "ABC"}, {Box::FillPattern}}, "AB", "1", "AB"},
        {"FF", {{Box::RepeatPattern, "123"}, {Box::RepeatPattern}}, "12", "1", "FF"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " then " +
                     (c.steps.back().typed ? c.steps.back().typed : "leave"));
        ZEPEcu ecu;
        ecu.FillPattern = MemBlock::fromHex(c.pattern);
        EcuPropertiesEdit edit(ecu);
        for (const Step& step : c.steps)
            step.typed ? edit.type(step.box, step.typed) : edit.leave(step.box);
        EXPECT_EQ(edit.text(c.steps.back().box).toStdString(), c.shown);
        EXPECT_EQ(edit.text(Box::WriteGranularity).toStdString(), c.granularity);
        EXPECT_EQ(edit.text(Box::FillPattern).toStdString(), c.fill);
    }
}

TEST(EcuPropertiesEdit, TheRecordsValuesObeyTheRulesToo) {
    ZEPEcu ecu;
    ecu.InterByteDelay = 300;
    ecu.ReplyToRequestDelay = -5;
    ecu.FillPattern = MemBlock::fromHex("FFFF");
    ecu.WriteGranularity = 128;
    ecu.RepeatPattern = MemBlock::fromHex("55");
    ecu.UploadRL = 77;
    const EcuPropertiesEdit edit(ecu);
    EXPECT_EQ(edit.text(Box::InterByteDelay), "255");
    EXPECT_EQ(edit.text(Box::ReplyToRequestDelay), "0");
    EXPECT_EQ(edit.text(Box::WriteGranularity), "2");
    EXPECT_EQ(edit.text(Box::FillPattern), "FFFF");
    EXPECT_EQ(edit.text(Box::MaxDownload), "128");
    EXPECT_EQ(edit.text(Box::RepeatPattern), "55");
    EXPECT_FALSE(edit.uploadWithCrc); // neither 128 nor 132: the box starts clear
    ecu.UploadRL = ZEPEcu::UploadWithCrc;
    EXPECT_TRUE(EcuPropertiesEdit(ecu).uploadWithCrc);
}

TEST(EcuPropertiesEdit, WritesTheTextsIntoTheRecord) {
    struct Case {
        const char* delay;
        const char* maxDownload;
        const char* fill;
        bool uploadWithCrc;
        std::int32_t storedDelay;
        std::int32_t storedMaxDownload;
        const char* storedFill;
        int storedUploadRL;
    };
    // clang-format off
    const Case cases[] = {
        {"20", "256", "00AA", true, 20, 256, "00AA", 128},
        {"1e2", "2.5", "ABC", false, 100, 3, "AB", 132},
        {"0", "99999999999", "", false, 0, 2147483647, "", 132},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delay);
        ZEPEcu ecu;
        ecu.UploadRL = 77;
        EcuPropertiesEdit edit(ecu);
        edit.type(Box::InterByteDelay, c.delay);
        edit.type(Box::ReplyToRequestDelay, c.delay);
        edit.type(Box::MaxDownload, c.maxDownload);
        edit.type(Box::FillPattern, c.fill);
        edit.type(Box::RepeatPattern, "55");
        edit.comment = "new";
        edit.uploadWithCrc = c.uploadWithCrc;
        edit.writeTo(ecu);
        EXPECT_EQ(ecu.InterByteDelay, c.storedDelay);
        EXPECT_EQ(ecu.ReplyToRequestDelay, c.storedDelay);
        EXPECT_EQ(ecu.WriteGranularity, c.storedMaxDownload);
        EXPECT_EQ(ecu.FillPattern.toHex(), c.storedFill);
        EXPECT_EQ(ecu.RepeatPattern.toHex(), "55");
        EXPECT_EQ(ecu.Commentaire, "new");
        EXPECT_EQ(ecu.UploadRL, c.storedUploadRL);
    }
}

} // namespace
} // namespace zep
