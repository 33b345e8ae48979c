#include "Addressing.h"

#include "TextCatalog.h"

#include <limits>

namespace zep {

namespace {
pugi::xml_node first(const pugi::xml_document& doc, const std::string& path) {
    try {
        return doc.select_node(path.c_str()).node();
    } catch (const pugi::xpath_exception&) {
        return {};
    }
}

std::string functionPath(std::int64_t address) {
    return "/Functions/Function[@Address='" + std::to_string(address) + "']";
}
} // namespace

Addressing& Addressing::instance() {
    static Addressing addressing;
    return addressing;
}

bool Addressing::load(const std::string& path) {
    doc_.reset();
    loaded_ = isRegularFile(path) && static_cast<bool>(doc_.load_file(path.c_str()));
    if (!loaded_)
        doc_.reset();
    return loaded_;
}

bool Addressing::loadFromString(const std::string& xml) {
    doc_.reset();
    loaded_ = static_cast<bool>(doc_.load_string(xml.c_str()));
    if (!loaded_)
        doc_.reset();
    return loaded_;
}

void Addressing::unload() {
    doc_.reset();
    loaded_ = false;
}

std::string Addressing::functionName(std::int32_t address, const std::string& fallback) const {
    if (!loaded_)
        return fallback;
    const std::string& language = TextCatalog::instance().language();
    const std::string base = functionPath(address) + "/Name";
    if (language.find('\'') == std::string::npos)
        if (pugi::xml_node n = first(doc_, base + "[@xml:lang='" + language + "']"))
            return textContent(n);
    if (pugi::xml_node n = first(doc_, base + "[@xml:lang='en']"))
        return textContent(n);
    return fallback;
}

std::optional<std::int32_t> Addressing::identifier(std::uint8_t address, const char* element) const {
    if (!loaded_)
        return 0;
    const pugi::xml_node n = first(doc_, functionPath(address) + "/" + element);
    if (!n)
        return std::nullopt;
    const auto v = parseInteger(textContent(n));
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        return 0;
    return static_cast<std::int32_t>(*v);
}

std::int32_t Addressing::rid(std::uint8_t address) const {
    return identifier(address, "RId").value_or(0);
}
std::int32_t Addressing::xid(std::uint8_t address) const {
    return identifier(address, "XId").value_or(0);
}
std::optional<std::int32_t> Addressing::findRid(std::uint8_t address) const {
    return identifier(address, "RId");
}
std::optional<std::int32_t> Addressing::findXid(std::uint8_t address) const {
    return identifier(address, "XId");
}

} // namespace zep
