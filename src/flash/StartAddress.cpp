#include "StartAddress.h"

#include "memory/Hex.h"

namespace zep {

std::uint32_t StartAddress::address() const {
    return kind == Kind::Linear ? value : (value >> 16) * 16 + (value & 0xFFFF);
}

std::string StartAddress::text() const {
    if (kind == Kind::Linear)
        return hex::withWidth(value, 8);
    return hex::withWidth(value >> 16, 4) + ":" + hex::withWidth(value & 0xFFFF, 4) + " (" +
           hex::withWidth(address(), 8) + ")";
}

} // namespace zep
