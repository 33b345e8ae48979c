#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace zep {

/**
 * The addressing document: per diagnostic function (by address) its names per language and its RId
 * and XId identifiers. Shared by the whole process, like the text catalog.
 */
class Addressing {
public:
    static Addressing& instance();

    /** false when the file cannot be read; the document is then empty and names fall back */
    bool load(const std::string& path);
    bool loadFromString(const std::string& xml);
    void unload();
    bool loaded() const { return loaded_; }

    /** the name in the current language, else in English, else fallback */
    std::string functionName(std::int32_t address, const std::string& fallback) const;
    /** 0 when the function or the identifier is missing or not a 32-bit number */
    std::int32_t rid(std::uint8_t address) const;
    std::int32_t xid(std::uint8_t address) const;
    /**
     * The same, but nullopt when the loaded document has no such function or no such element (a value
     * that is not a number still reads as 0). Without a document: 0.
     */
    std::optional<std::int32_t> findRid(std::uint8_t address) const;
    std::optional<std::int32_t> findXid(std::uint8_t address) const;

private:
    std::optional<std::int32_t> identifier(std::uint8_t address, const char* element) const;

    pugi::xml_document doc_;
    bool loaded_ = false;
};

} // namespace zep
