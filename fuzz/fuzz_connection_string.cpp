#include "ConnectionStringCheck.h"
#include "FuzzTarget.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return zep::fuzz::run([&] {
        return zep::fuzz::checkConnectionString({reinterpret_cast<const char*>(data), size});
    });
}
