#pragma once

#include "memory/MemBlock.h"
#include "memory/MemImage.h"
#include "memory/MemMap.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zep {

/**
 * One ECU: its reprogramming parameters (a row of Hardwares) and its memory map (its Mappings and
 * Exclusions rows). The map operations decide which bytes of an image belong in a download.
 *
 * `tuning` true means a tuning (calibration area), false a global download.
 */
class ZEPEcu {
public:
    std::uint8_t Address = 0;
    std::string Nom;
    MemBlock FillPattern;
    MemBlock RepeatPattern;
    std::int32_t WriteGranularity = 1;
    /** column "Code Fournisseur": three characters; a Null read from the database stays Null */
    std::optional<std::string> CodeFournisseur = "   ";
    std::string SupplierHex;
    std::int32_t InterByteDelay = 0;
    std::int32_t ReplyToRequestDelay = 0;
    std::string Commentaire;
    std::uint8_t UploadRL = 128;
    std::int32_t IdentificationType = 0;

    static constexpr std::uint8_t UploadWithCrc = 128;
    static constexpr std::uint8_t UploadWithoutCrc = 132;

    /** a new image of the parts of image that lie inside map; image does not change */
    static MemImage IntersectMap(const MemImage& image, const MemMap& map);
    /** clips image to WriteMap(tuning) */
    void Intersect(MemImage& image, bool tuning) const;
    /** clips image to the non-tuning ranges */
    void NoCalib(MemImage& image) const;
    /** the record's own TuningMap or GlobalMap */
    MemMap& EraseMap(bool tuning) { return tuning ? tuningMap_ : globalMap_; }
    const MemMap& EraseMap(bool tuning) const { return tuning ? tuningMap_ : globalMap_; }
    /** the erase map less its exclusions, as a new map */
    MemMap WriteMap(bool tuning) const;

    // Filling the maps: the database and XML readers clear them and add every mapping and every
    // exclusion whose control flag is 0, each on the side of the mapping that owns it.
    void clearMaps();
    void addMapping(std::uint32_t address, std::uint64_t count, bool tuning);
    void addExclusion(std::uint32_t address, std::uint64_t count, bool tuning);

    const MemMap& TuningMap() const { return tuningMap_; }
    const MemMap& GlobalMap() const { return globalMap_; }
    const MemMap& ApplicationMap() const { return applicationMap_; }
    const MemMap& TuningExclusions() const { return tuningExclusions_; }
    const MemMap& ApplicationExclusions() const { return applicationExclusions_; }
    const MemMap& GlobalExclusions() const { return globalExclusions_; }

private:
    MemMap tuningMap_;
    MemMap globalMap_;
    MemMap applicationMap_;
    MemMap tuningExclusions_;
    MemMap applicationExclusions_;
    MemMap globalExclusions_;
};

} // namespace zep
