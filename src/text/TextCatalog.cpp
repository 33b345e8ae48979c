#include "TextCatalog.h"

#include "memory/ZepError.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace zep {

namespace {

constexpr unsigned parseOptions = pugi::parse_default & ~pugi::parse_eol;

std::string_view trimmed(std::string_view s) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

void replaceAll(std::string& text, std::string_view what, std::string_view with) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

/** a language code that cannot be written in an XPath literal makes every query invalid */
bool queryable(const std::string& language) {
    return language.find('\'') == std::string::npos;
}

std::string languageCondition(const std::string& language) {
    return "[@xml:lang='" + language + "']";
}

pugi::xml_node selectFirst(const pugi::xml_node& from, const std::string& path) {
    try {
        return from.select_node(path.c_str()).node();
    } catch (const pugi::xpath_exception&) {
        return {};
    }
}

} // namespace

std::string textContent(const pugi::xml_node& element) {
    std::string out;
    for (const pugi::xml_node& child : element.children())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            out += child.value();
    return out;
}

TextCatalog& TextCatalog::instance() {
    static TextCatalog catalog;
    return catalog;
}

void TextCatalog::load(const std::string& path) {
    doc_.reset();
    loaded_ = false;
    if (!isRegularFile(path) || !doc_.load_file(path.c_str(), parseOptions)) {
        doc_.reset();
        throw ZepError(errors::LanguageFile, "Unable to read language file : " + path);
    }
    loaded_ = true;
}

bool TextCatalog::loadFromString(std::string_view xml) {
    doc_.reset();
    loaded_ = static_cast<bool>(doc_.load_buffer(xml.data(), xml.size(), parseOptions));
    if (!loaded_)
        doc_.reset();
    return loaded_;
}

void TextCatalog::unload() {
    doc_.reset();
    loaded_ = false;
}

void TextCatalog::setLanguage(std::string code) {
    language_ = code.empty() ? "en" : std::move(code);
}

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string expandPlaceholders(std::string text, const std::vector<std::string>& args) {
    for (int i = 0; i < 6; ++i) {
        const std::string arg =
            i < static_cast<int>(args.size()) ? args[static_cast<std::size_t>(i)] : std::string();
        replaceAll(text, "{" + std::to_string(i) + "}", arg);
    }
    replaceAll(text, "{crlf}", "\r\n");
    replaceAll(text, "{tab}", "\t");
    return text;
}

std::string TextCatalog::text(std::string_view key, std::string_view def,
                              const std::vector<std::string>& args) const {
    std::string t(def);
    if (loaded_ && queryable(language_)) {
        const std::string path = "/software/" + std::string(key);
        pugi::xml_node found = selectFirst(doc_, path + languageCondition(language_));
        if (!found)
            found = selectFirst(doc_, path);
        if (found)
            t = textContent(found);
    }
    return expandPlaceholders(std::move(t), args);
}

std::optional<std::string> TextCatalog::configText(std::string_view key) const {
    if (!loaded_)
        return std::nullopt;
    const pugi::xml_node found = selectFirst(doc_, "/software/" + std::string(key));
    if (!found)
        return std::nullopt;
    return textContent(found);
}

std::string TextCatalog::config(std::string_view key, std::string_view def) const {
    return configText(key).value_or(std::string(def));
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> parseDouble(std::string_view text) {
    text = trimmed(text);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool parseBoolean(std::string_view text) {
    const std::string_view t = trimmed(text);
    std::string lower(t);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return !(lower == "false" || lower == "faux" || t == "0");
}

std::int32_t TextCatalog::config(std::string_view key, std::int32_t def) const {
    const auto v = parseInteger(config(key, std::to_string(def)));
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        return def;
    return static_cast<std::int32_t>(*v);
}

std::int16_t TextCatalog::config(std::string_view key, std::int16_t def) const {
    const auto v = parseInteger(config(key, std::to_string(def)));
    if (!v || *v < std::numeric_limits<std::int16_t>::min() || *v > std::numeric_limits<std::int16_t>::max())
        return def;
    return static_cast<std::int16_t>(*v);
}

double TextCatalog::config(std::string_view key, double def) const {
    const auto text = configText(key);
    if (!text)
        return def;
    return parseDouble(*text).value_or(def);
}

bool TextCatalog::config(std::string_view key, bool def) const {
    const auto text = configText(key);
    return text ? parseBoolean(*text) : def;
}

pugi::xml_node TextCatalog::element(std::string_view path) const {
    if (!loaded_)
        return {};
    return selectFirst(doc_, "/software/" + std::string(path));
}

std::optional<std::string> TextCatalog::controlText(const pugi::xml_node& element,
                                                    std::string_view path) const {
    if (!element || !queryable(language_))
        return std::nullopt;
    pugi::xml_node found = selectFirst(element, std::string(path) + languageCondition(language_));
    if (!found)
        found = selectFirst(element, std::string(path));
    if (!found)
        return std::nullopt;
    return textContent(found);
}

pugi::xpath_node_set TextCatalog::select(std::string_view path) const {
    if (!loaded_)
        return {};
    try {
        return doc_.select_nodes(("/software/" + std::string(path)).c_str());
    } catch (const pugi::xpath_exception&) {
        return {};
    }
}

} // namespace zep
