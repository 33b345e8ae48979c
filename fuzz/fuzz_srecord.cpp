#include "FlashRoundTrip.h"
#include "FuzzTarget.h"
#include "Repair.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return zep::fuzz::run([&] {
        return zep::fuzz::checkSRecord({reinterpret_cast<const char*>(data), size});
    });
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned seed) {
    return zep::fuzz::mutate(data, size, maxSize, seed, zep::fuzz::repairSRecord);
}
