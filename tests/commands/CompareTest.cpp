#include "support/SampleImages.h"

#include "commands/Compare.h"
#include "support/RecordingInteraction.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

namespace zep {
namespace {

using Owner = ImageStore::Owner;
using Blocks = std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>;

EcuApplication record(const Blocks& blocks, bool tuning) {
    EcuApplication app;
    app.Ecu() = test::sampleEcu(5, "ecu");
    app.Ecu().addMapping(test::AppFirst, test::AppCount, false);
    app.Ecu().addMapping(test::TuningFirst, test::TuningCount, true);
    app.Ecu().addExclusion(test::ExcludedFirst, test::ExcludedCount, true);
    for (const auto& [address, bytes] : blocks)
        app.value().add(address, bytes);
    app.setEstCalibration(tuning);
    return app;
}

std::vector<std::uint8_t> with(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

std::vector<std::string> lines(const std::string& listing) {
    std::vector<std::string> out;
    for (std::size_t from = 0, crlf; (crlf = listing.find("\r\n", from)) != std::string::npos;
         from = crlf + 2)
        out.push_back(listing.substr(from, crlf - from));
    return out;
}

TEST(CompareImages, CountsListsAndReports) {
    const auto ramp = test::filled(32, 0);
    std::vector<std::uint8_t> many = test::filled(150, 0);
    const struct {
        const char* what;
        Blocks first;
        bool tuning;
        Blocks second;
        int count;
        std::vector<std::string> listed; // the lines after the header, when checked
        std::string message;
        std::array<std::uint64_t, 3> detail{}; // every difference: count, ranges, bytes compared
    } cases[] = {
        // clang-format off
        {"identical", {{0x1000, ramp}}, false, {{0x1000, ramp}}, 0, {}, "Compatible data", {0, 0, 32}},
        {"one byte", {{0x1000, ramp}}, false, {{0x1000, with(ramp, 5, 0xAB)}}, 1, {"1005\t5\tAB"}, "There are 1 difference(s)", {1, 1, 32}},
        {"150 bytes", {{0x1000, many}}, false, {{0x1000, test::filled(150, 1)}}, 101, {}, "There are more than 100 differences", {150, 1, 150}},
        {"blocks apart", {{0x1000, ramp}}, false, {{0x2000, test::filled(32, 9)}}, 0, {}, "Compatible data", {0, 0, 0}},
        {"overlap only", {{0x1000, test::filled(16, 0)}}, false, {{0x1008, test::filled(16, 0x80)}}, 8, {}, "There are 8 difference(s)", {8, 1, 8}},
        {"across blocks, in order", {{0x10, test::filled(16, 0)}, {0x20, test::filled(16, 0x10)}}, false,
         {{0x18, with(with(test::filled(16, 8), 0, 0xC8), 15, 0xD7)}}, 2, {"18\t8\tC8", "27\t17\tD7"}, "There are 2 difference(s)", {2, 2, 16}},
        // Bytes only the first tuning holds: the erased value FF does not count, other values do,
        // listed with the erased value; the application area of the ECU never counts.
        {"tuning against erased value", {{0x1000, {0x01, 0x02}}, {0x8000, {0xFF, 0xFF}}, {0x8020, {0xFF, 0x01, 0xFF, 0x02}}, {0x9000, {0x33}}},
         true, {}, 3, {"8021\t1\tFF", "8023\t2\tFF", "9000\t33\tFF"}, "There are 3 difference(s)", {3, 3, 7}},
        {"application: no erased pass", {{0x8020, {0x01}}}, false, {}, 0, {}, "Compatible data", {0, 0, 0}},
        {"tuning held by both", {{0x8020, {0x01}}}, true, {{0x8020, {0x01}}}, 0, {}, "Compatible data", {0, 0, 1}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CompareResult r =
            Compare::CompareImages(record(c.first, c.tuning), "T ' é", record(c.second, false), "S", "Title");
        EXPECT_EQ(r.count, c.count);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.title, "Title");
        EXPECT_FALSE(r.invalid);
        const std::vector<std::string> l = lines(r.listing);
        ASSERT_EQ(l.size(), std::size_t(c.count) + 1);
        EXPECT_EQ(l[0], "Address\tT ' é\tS");
        EXPECT_EQ(r.listing.substr(r.listing.size() - 2), "\r\n");
        if (!c.listed.empty()) {
            EXPECT_EQ(std::vector<std::string>(l.begin() + 1, l.end()), c.listed);
        }
        const CompareDetail d = Compare::Details(record(c.first, c.tuning), record(c.second, false));
        EXPECT_EQ((std::array<std::uint64_t, 3>{d.differences, d.runs.size(), d.compared}), c.detail);
    }
    const CompareDetail tuning = Compare::Details(record({{0x8020, {1, 2, 3}}}, true), record({}, false));
    EXPECT_EQ(Compare::SummaryText(tuning),
              "3 differing byte(s) in 1 range(s), 3 bytes compared; bytes only the "
              "target holds in its tuning area count unless they hold the erased "
              "value FF");
}

/** the comparison as written: every block of the first against every block of the second */
std::string naiveListing(const MemImage& first, const MemImage& second) {
    std::string listing;
    int count = 0;
    for (const ImageBlock f : first)
        for (const ImageBlock s : second) {
            for (std::uint64_t a = std::max(f.first, s.first); a < std::min(f.end(), s.end()); ++a) {
                const std::uint8_t x = f.bytes[a - f.first], y = s.bytes[a - s.first];
                if (x == y)
                    continue;
                listing += hex::number(a) + '\t' + hex::number(x) + '\t' + hex::number(y) + "\r\n";
                if (++count > Compare::Limit)
                    return listing;
            }
        }
    return listing;
}

TEST(CompareImages, SameDifferencesInTheSameOrderAsEveryPairOfBlocks) {
    std::mt19937 random(20240605);
    const auto randomImage = [&](int blocks) {
        MemImage image;
        for (int i = 0; i < blocks; ++i) {
            std::vector<std::uint8_t> bytes(1 + random() % 24);
            for (auto& b : bytes)
                b = random() % 4 == 0 ? static_cast<std::uint8_t>(random()) : 0;
            image.add(random() % 400, bytes);
        }
        return image;
    };
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        EcuApplication first, second;
        first.value() = randomImage(1 + round % 30);
        second.value() = randomImage(1 + round % 17);
        const CompareResult r = Compare::CompareImages(first, "F", second, "S", "t");
        const std::string header = "Address\tF\tS\r\n";
        ASSERT_EQ(r.listing, header + naiveListing(first.value(), second.value()));
    }
}

TEST(CompareImages, ShowResultAsksBeforeTheListing) {
    const CompareResult compatible{0, "", "t", "Compatible data"},
        different{3, "", "t", "There are 3 difference(s)"},
        invalid{0, "", "t", "One of compared elements is invalid", true};
    const struct {
        const CompareResult& result;
        Answer answer;
        bool listing;
        std::string kind;
    } cases[] = {{compatible, Answer::Ok, false, "inform"},
                 {invalid, Answer::Ok, false, "inform"},
                 {different, Answer::Ok, true, "ask"},
                 {different, Answer::Cancel, false, "ask"}};
    for (const auto& c : cases) {
        test::RecordingInteraction ui;
        ui.answers = {c.answer};
        EXPECT_EQ(Compare::ShowResult(c.result, ui), c.listing);
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0].kind, c.kind);
        EXPECT_EQ(ui.shown[0].text, c.result.message);
    }
}

/**
 * Items of one ECU: applications A (reference), B (other tuning bytes), C (one other code byte);
 * tunings T1 (A's first tuning bytes) and T2 (T1 plus bytes T1 lacks, one of them not erased).
 */
class CompareDropTest : public test::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped())
            return;
        db = database().create();
        const qint64 ecu = test::addEcu(*db, test::sampleEcu(5, "ecu"));
        const auto code = test::filled(64, 0x40);
        const auto tuningBytes = test::filled(32, 0x11);
        const auto app = [&](const std::vector<std::uint8_t>& c, const std::vector<std::uint8_t>& t) {
            MemImage image;
            image.add(test::AppFirst, c);
            image.add(test::TuningFirst, t);
            return "a" + std::to_string(test::addItem(*db, Owner::Application, ecu, "app", image));
        };
        a = app(code, tuningBytes);
        b = app(code, test::filled(32, 0x99));
        c = app(with(code, 1, 0), tuningBytes);
        const qint64 appId = std::stoll(a.substr(1));
        MemImage t1;
        t1.add(test::TuningFirst, test::filled(16, 0x11));
        MemImage t2 = t1;
        t2.add(0x8020, std::vector<std::uint8_t>{0xFF, 0xFF, 0x07, 0xFF});
        tuning1 = "c" + std::to_string(test::addItem(*db, Owner::Tuning, appId, "T1", t1));
        tuning2 = "c" + std::to_string(test::addItem(*db, Owner::Tuning, appId, "T2", t2));
    }

    std::unique_ptr<Connection> db;
    std::string a, b, c, tuning1, tuning2;
};

TEST_P(CompareDropTest, LoadsAndClipsByKind) {
    const struct {
        const char* what;
        std::string target, dragged;
        int count;
        std::string title;
        std::vector<std::string> listed;
    } cases[] = {
        {"tunings, bytes only the target holds", tuning2, tuning1, 1, "Tuning compare", {"8022\t7\tFF"}},
        {"tunings, the other way", tuning1, tuning2, 0, "Tuning compare", {}},
        // The application's excluded tuning bytes are held by the target only and are not erased.
        {"tuning onto an application", a, tuning1, 16, "Tuning compare", {}},
        {"application onto a tuning: its tuning ranges only", tuning1, c, 0, "Tuning compare", {}},
        {"applications: tuning ranges ignored", a, b, 0, "Soft compare", {}},
        {"applications: one code byte", a, c, 1, "Soft compare", {"1001\t41\t0"}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        const auto r = Compare::CompareItems(*db, k.target, "target", *db, k.dragged, "dragged");
        ASSERT_TRUE(r.has_value());
        EXPECT_FALSE(r->invalid) << r->message;
        EXPECT_EQ(r->count, k.count);
        EXPECT_EQ(r->title, k.title);
        const std::vector<std::string> l = lines(r->listing);
        ASSERT_FALSE(l.empty());
        EXPECT_EQ(l[0], "Address\ttarget\tdragged");
        if (k.count == 0 || !k.listed.empty()) {
            EXPECT_EQ(std::vector<std::string>(l.begin() + 1, l.end()), k.listed);
        }
        EXPECT_EQ(l.size(), std::size_t(k.count) + 1);
    }
}

TEST_P(CompareDropTest, OtherKindsCompareNothingAndMissingItemsAreInvalid) {
    for (const auto& [target, dragged] : std::vector<std::pair<std::string, std::string>>{
             {a, "h1"}, {a, "g5"}, {"h1", a}, {"g5", a}, {a, "r"}}) {
        SCOPED_TRACE(dragged + " onto " + target);
        EXPECT_FALSE(Compare::CompareItems(*db, target, "t", *db, dragged, "d").has_value());
    }
    const auto missing = Compare::CompareItems(*db, tuning1, "t", *db, "c999999", "d");
    ASSERT_TRUE(missing.has_value());
    EXPECT_TRUE(missing->invalid);
    EXPECT_EQ(missing->message, "One of compared elements is invalid");
    EXPECT_EQ(missing->title, "Tuning compare");
}

ZEP_ENGINES(CompareDropTest);

} // namespace
} // namespace zep
