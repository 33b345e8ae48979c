#include "ZEPEcu.h"

namespace zep {

MemImage ZEPEcu::IntersectMap(const MemImage& image, const MemMap& map) {
    MemImage result;
    const MemMap keep = map.subtract(map.subtract(image.map()));
    for (const MemRange& r : keep) {
        const MemBlock block = image.extract(r.address, r.count);
        result.add(r.address, block.bytes());
    }
    return result;
}

void ZEPEcu::Intersect(MemImage& image, bool tuning) const {
    image = IntersectMap(image, WriteMap(tuning));
}

void ZEPEcu::NoCalib(MemImage& image) const {
    image = IntersectMap(image, applicationMap_);
}

MemMap ZEPEcu::WriteMap(bool tuning) const {
    return tuning ? tuningMap_.subtract(tuningExclusions_) : globalMap_.subtract(globalExclusions_);
}

void ZEPEcu::clearMaps() {
    tuningMap_.clear();
    globalMap_.clear();
    applicationMap_.clear();
    tuningExclusions_.clear();
    applicationExclusions_.clear();
    globalExclusions_.clear();
}

void ZEPEcu::addMapping(std::uint32_t address, std::uint64_t count, bool tuning) {
    (tuning ? tuningMap_ : applicationMap_).add(address, count);
    globalMap_.add(address, count);
}

void ZEPEcu::addExclusion(std::uint32_t address, std::uint64_t count, bool tuning) {
    (tuning ? tuningExclusions_ : applicationExclusions_).add(address, count);
    globalExclusions_.add(address, count);
}

} // namespace zep
