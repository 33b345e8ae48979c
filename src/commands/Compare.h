#pragma once

#include "flash/EcuApplication.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zep {

class Connection;
class Interaction;

/** The outcome of a comparison, for the caller to show. */
struct CompareResult {
    /** differences found; counting stops one past the limit */
    int count = 0;
    /** header line, then one line per difference: address, first byte, second byte (tabs, CR LF) */
    std::string listing;
    /** the caption of the message */
    std::string title;
    /** "Compatible data", the count of differences, or "One of compared elements is invalid" */
    std::string message;
    /** the items could not be loaded, clipped or compared */
    bool invalid = false;
    /** the two records as compared (loaded and clipped), for a closer look; null when invalid */
    std::shared_ptr<const EcuApplication> first{}, second{};
    std::string firstName{}, secondName{};

    bool differs() const { return count > 0; }
};

/** Every difference of a comparison, without the limit: what the visual compare shows. */
struct CompareDetail {
    /** the differing addresses, ascending, consecutive ones in one range */
    std::vector<MemRange> runs;
    std::uint64_t differences = 0;
    /** the overlapping bytes, plus the bytes only a first tuning holds in its tuning area */
    std::uint64_t compared = 0;
    /** whether the first is a tuning, whose bytes alone count when they differ from erased */
    bool erasedRule = false;
    std::uint8_t erased = 0;
};

namespace Compare {

inline constexpr int Limit = 100;

/**
 * CompareImages: the bytes of first's image against second's where their blocks overlap, then, when
 * first is a tuning, the bytes only first holds inside its tuning area against the erased value
 * (first byte of its ECU's FillPattern). Stops at Limit + 1 differences. The names head the
 * listing's columns. An ECU without a fill pattern makes a tuning comparison fail (ZepError).
 */
CompareResult CompareImages(const EcuApplication& first, const std::string& firstName,
                            const EcuApplication& second, const std::string& secondName,
                            const std::string& title);

/**
 * The drop of a dragged item on a list item: loads both items, clips the dragged one as its kind and
 * the target's kind call for, and compares the target (first) with the dragged item (second). A
 * dragged tuning compares with any item; a dragged application with a tuning (only the tuning write
 * ranges of the application) or with an application (only the application's non-tuning ranges).
 * nullopt when the kinds compare nothing. A failure gives an invalid result. progress, when given,
 * hears how far the loading of large images is.
 */
std::optional<CompareResult> CompareItems(Connection& targetDb, const std::string& targetKey,
                                          const std::string& targetName, Connection& sourceDb,
                                          const std::string& draggedKey, const std::string& draggedName,
                                          Interaction* progress = nullptr);

/** the rules of CompareImages over every byte, with no limit; an ECU without fill pattern fails the same */
CompareDetail Details(const EcuApplication& first, const EcuApplication& second);

/** one line: the differences, the ranges they make, the bytes compared and the erased-value rule */
std::string SummaryText(const CompareDetail& detail);

/**
 * Shows the result's message: OK alone when there is nothing to list, else OK and Cancel. True when
 * the user asked to see the listing.
 */
bool ShowResult(const CompareResult& result, Interaction& ui);

} // namespace Compare
} // namespace zep
