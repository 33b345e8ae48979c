#include "commands/Compare.h"

#include "database/Connection.h"
#include "database/ImageStore.h"
#include "database/ItemKey.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <algorithm>

namespace zep::Compare {

namespace {

class Listing {
public:
    Listing(CompareResult& result, const std::string& firstName, const std::string& secondName)
        : result_(result) {
        result_.listing = tr("frmDatabase/Messages/compareApps/infoInit/text", "Address") + '\t' + firstName +
                          '\t' + secondName + "\r\n";
    }

    /** counts one difference; false once the limit is passed */
    bool add(std::uint64_t address, std::uint8_t first, std::uint8_t second) {
        ++result_.count;
        std::string& s = result_.listing;
        s += hex::number(address);
        s += '\t';
        s += hex::number(first);
        s += '\t';
        s += hex::number(second);
        s += "\r\n";
        return !full();
    }

    bool full() const { return result_.count > Limit; }
    void compared(std::uint64_t) {}

private:
    CompareResult& result_;
};

/** every difference, as runs of consecutive addresses, with the bytes compared */
class DetailSink {
public:
    explicit DetailSink(CompareDetail& detail) : detail_(detail) {}

    bool add(std::uint64_t address, std::uint8_t, std::uint8_t) {
        ++detail_.differences;
        if (!detail_.runs.empty() && detail_.runs.back().end() == address)
            ++detail_.runs.back().count;
        else
            detail_.runs.push_back({static_cast<std::uint32_t>(address), 1});
        return true;
    }
    bool full() const { return false; }
    void compared(std::uint64_t bytes) { detail_.compared += bytes; }

private:
    CompareDetail& detail_;
};

std::uint8_t erasedValue(const ZEPEcu& ecu) {
    if (ecu.FillPattern.empty())
        throw ZepError(errors::InvalidArgument, tr("database/Messages/compare/noFillPattern/text",
                                                   "The ECU {0} has no fill pattern", ecu.Nom));
    return ecu.FillPattern.bytes()[0];
}

/**
 * The overlap pass. Blocks of an image are sorted and disjoint, so the pairs of blocks that overlap
 * come out of one merge of the two lists, in the order of a loop over every first block and, inside
 * it, every second block.
 */
template <class Sink> void compareOverlaps(const MemImage& first, const MemImage& second, Sink& listing) {
    const std::size_t firstCount = first.count(), secondCount = second.count();
    std::size_t i = 0, j = 0;
    while (i < firstCount && j < secondCount && !listing.full()) {
        const ImageBlock f = first[i], s = second[j];
        const std::uint64_t from = std::max<std::uint64_t>(f.first, s.first);
        const std::uint64_t end = std::min(f.end(), s.end());
        if (from < end) {
            listing.compared(end - from);
            const std::uint8_t* const aFirst = f.bytes.data() + (from - f.first);
            const std::uint8_t* const aEnd = aFirst + (end - from);
            const std::uint8_t* a = aFirst;
            const std::uint8_t* b = s.bytes.data() + (from - s.first);
            while (true) {
                std::tie(a, b) = std::mismatch(a, aEnd, b);
                if (a == aEnd)
                    break;
                if (!listing.add(from + static_cast<std::uint64_t>(a - aFirst), *a, *b))
                    return;
                ++a;
                ++b;
            }
        }
        if (f.end() <= s.end())
            ++i;
        if (s.end() <= f.end())
            ++j;
    }
}

/** the erased-area pass of a tuning: what only the first image holds, in its tuning area, against the erased
 * value */
template <class Sink>
void compareErasedArea(const EcuApplication& first, const MemImage& second, Sink& listing) {
    const std::uint8_t erased = erasedValue(first.Ecu());
    const ZEPEcu& ecu = first.Ecu();
    const MemImage& image = first.value();
    const MemMap nonTuning = ecu.EraseMap(false).subtract(ecu.EraseMap(true));
    const MemMap only = image.map().subtract(second.map()).subtract(nonTuning);
    for (const MemRange& r : only) {
        const MemBlock bytes = image.extract(r.address, r.count);
        const std::span<const std::uint8_t> b = bytes.bytes();
        listing.compared(b.size());
        for (std::size_t k = 0; k < b.size(); ++k) {
            if (b[k] != erased && !listing.add(std::uint64_t{r.address} + k, b[k], erased))
                return;
        }
    }
}

std::string resultMessage(int count) {
    if (count == 0)
        return tr("frmDatabase/Messages/compareApps/compatibleData/text", "Compatible data");
    if (count <= Limit)
        return tr("frmDatabase/Messages/compareApps/uncompatibleData/text", "There are {0} difference(s)",
                  count);
    return tr("frmDatabase/Messages/compareApps/uncompatibleDataMore/text",
              "There are more than 100 differences");
}

} // namespace

CompareResult CompareImages(const EcuApplication& first, const std::string& firstName,
                            const EcuApplication& second, const std::string& secondName,
                            const std::string& title) {
    CompareResult result;
    result.title = title;
    Listing listing(result, firstName, secondName);
    compareOverlaps(first.value(), second.value(), listing);
    if (!listing.full() && first.EstCalibration())
        compareErasedArea(first, second.value(), listing);
    result.message = resultMessage(result.count);
    return result;
}

std::optional<CompareResult> CompareItems(Connection& targetDb, const std::string& targetKey,
                                          const std::string& targetName, Connection& sourceDb,
                                          const std::string& draggedKey, const std::string& draggedName,
                                          Interaction* progress) {
    const char dragged = keyKind(draggedKey), target = keyKind(targetKey);
    const bool tuningCompare =
        dragged == ItemKey::Tuning || (dragged == ItemKey::Application && target == ItemKey::Tuning);
    const bool softCompare = dragged == ItemKey::Application && target == ItemKey::Application;
    if (!tuningCompare && !softCompare)
        return std::nullopt;

    const std::string title = tuningCompare ? tr("frmDatabase/Messages/compare/tuning/text", "Tuning compare")
                                            : tr("frmDatabase/Messages/compare/soft/text", "Soft compare");
    try {
        EcuApplication first = ImageStore::Download(targetDb, targetKey, tuningCompare, nullptr, progress);
        EcuApplication second =
            ImageStore::Download(sourceDb, draggedKey, dragged == ItemKey::Tuning, nullptr, progress);
        if (dragged == ItemKey::Application) {
            if (tuningCompare)
                second.Ecu().Intersect(second.value(), true);
            else
                second.Ecu().NoCalib(second.value());
        }
        CompareResult result = CompareImages(first, targetName, second, draggedName, title);
        result.firstName = targetName;
        result.secondName = draggedName;
        result.first = std::make_shared<const EcuApplication>(std::move(first));
        result.second = std::make_shared<const EcuApplication>(std::move(second));
        return result;
    } catch (const ZepError&) {
        CompareResult invalid;
        invalid.title = title;
        invalid.invalid = true;
        invalid.message =
            tr("frmDatabase/Messages/compare/invalidComponent/text", "One of compared elements is invalid");
        return invalid;
    }
}

CompareDetail Details(const EcuApplication& first, const EcuApplication& second) {
    CompareDetail detail;
    DetailSink sink(detail);
    compareOverlaps(first.value(), second.value(), sink);
    if (first.EstCalibration()) {
        detail.erased = erasedValue(first.Ecu());
        detail.erasedRule = true;
        compareErasedArea(first, second.value(), sink);
        // the erased-area runs come after the overlap ones: one order for both
        std::sort(detail.runs.begin(), detail.runs.end(),
                  [](const MemRange& a, const MemRange& b) { return a.address < b.address; });
    }
    return detail;
}

std::string SummaryText(const CompareDetail& detail) {
    if (!detail.erasedRule)
        return tr("frmCompare/Messages/summary/text",
                  "{0} differing byte(s) in {1} range(s), {2} bytes compared; erased-value rule not applied",
                  detail.differences, detail.runs.size(), detail.compared);
    return tr("frmCompare/Messages/summaryErased/text",
              "{0} differing byte(s) in {1} range(s), {2} bytes compared; bytes only the target holds in its "
              "tuning area count unless they hold the erased value {3}",
              detail.differences, detail.runs.size(), detail.compared, hex::withWidth(detail.erased, 2));
}

bool ShowResult(const CompareResult& result, Interaction& ui) {
    if (result.invalid || !result.differs()) {
        ui.inform(result.message);
        return false;
    }
    return ui.ask(result.message, Buttons::OkCancel, Answer::Ok) == Answer::Ok;
}

} // namespace zep::Compare
