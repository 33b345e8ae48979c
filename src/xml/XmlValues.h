#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace zep::xmlvalues {

/** error 10000: a node the reader needs is missing; what names it as a path ("K/Address/@Value") */
[[noreturn]] void missing(std::string_view what);
/** error 10000: the text of what does not convert to the value it holds */
[[noreturn]] void invalid(std::string_view text, std::string_view what);

/** the child element; missing() when there is none */
pugi::xml_node child(const pugi::xml_node& parent, const char* name, std::string_view what);
/** the attribute's text; missing() when there is no such attribute */
std::string text(const pugi::xml_node& element, const char* name, std::string_view what);
/** the attribute as a decimal integer from least to most; missing() or invalid() otherwise */
std::int64_t integer(const pugi::xml_node& element, const char* name, std::int64_t least, std::int64_t most,
                     std::string_view what);

inline std::int32_t int32(const pugi::xml_node& element, const char* name, std::string_view what) {
    return static_cast<std::int32_t>(integer(element, name, INT32_MIN, INT32_MAX, what));
}
inline std::uint32_t uint32(const pugi::xml_node& element, const char* name, std::string_view what) {
    return static_cast<std::uint32_t>(integer(element, name, 0, UINT32_MAX, what));
}
inline std::uint8_t uint8(const pugi::xml_node& element, const char* name, std::string_view what) {
    return static_cast<std::uint8_t>(integer(element, name, 0, UINT8_MAX, what));
}

} // namespace zep::xmlvalues
