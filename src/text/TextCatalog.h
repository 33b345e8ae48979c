#pragma once

#include <pugixml.hpp>

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zep {

/**
 * The language and configuration document and the current language, shared by the whole process.
 *
 * Texts are elements at /software/KEY, one per language told apart by xml:lang. Every lookup names a
 * default English text, used whenever the document has nothing for the key, so a process without a
 * document still speaks.
 */
class TextCatalog {
public:
    static TextCatalog& instance();

    /** loads the file; on failure nothing is loaded and error 1 "Unable to read language file : PATH" is
     * raised */
    void load(const std::string& path);
    /** loads a document held in memory; false when it does not parse */
    bool loadFromString(std::string_view xml);
    void unload();
    bool loaded() const { return loaded_; }

    const std::string& language() const { return language_; }
    /** an empty code selects "en" */
    void setLanguage(std::string code);

    /** the text of KEY in the current language, else in the first language found, else def; then {0}..{5},
     * {crlf}, {tab} */
    std::string text(std::string_view key, std::string_view def,
                     const std::vector<std::string>& args = {}) const;

    /** the raw configuration text at /software/KEY, without language selection or placeholders */
    std::optional<std::string> configText(std::string_view key) const;
    std::string config(std::string_view key, std::string_view def) const;
    std::string config(std::string_view key, const char* def) const {
        return config(key, std::string_view(def));
    }
    std::int32_t config(std::string_view key, std::int32_t def) const;
    std::int16_t config(std::string_view key, std::int16_t def) const;
    double config(std::string_view key, double def) const;
    bool config(std::string_view key, bool def) const;

    /** the element at /software/PATH (first match), or an empty node */
    pugi::xml_node element(std::string_view path) const;
    /** text of PATH below element in the current language, else in any language */
    std::optional<std::string> controlText(const pugi::xml_node& element, std::string_view path) const;

    /** every node at /software/PATH, in document order (lists of configuration items) */
    pugi::xpath_node_set select(std::string_view path) const;

    /**
     * Makes another document the process-wide one while f runs (texts from a user configuration file),
     * then puts the kept one back. Nothing happens when the file cannot be read.
     */
    template <std::invocable F> void withDocument(const std::string& path, F&& f);

private:
    pugi::xml_document doc_;
    bool loaded_ = false;
    std::string language_ = "en";
};

/** the typed conversions of configuration texts; nullopt when the text does not convert */
[[nodiscard]] std::optional<std::int64_t> parseInteger(std::string_view text);
[[nodiscard]] std::optional<double> parseDouble(std::string_view text);
[[nodiscard]] bool parseBoolean(std::string_view text);

/** the text of an element: its text and CDATA pieces joined, comments left out */
std::string textContent(const pugi::xml_node& element);

/** a file that can be read to its end: a pipe or a device would block a reader or never end */
bool isRegularFile(const std::string& path);

/** replaces {0}..{5} in order, then {crlf} and {tab} */
std::string expandPlaceholders(std::string text, const std::vector<std::string>& args);

namespace detail {
inline std::string toText(const std::string& s) {
    return s;
}
inline std::string toText(std::string_view s) {
    return std::string(s);
}
inline std::string toText(const char* s) {
    return s;
}
template <std::integral T> std::string toText(T v) {
    return std::to_string(v);
}
} // namespace detail

/** a localised text from the process-wide catalog, with its arguments for {0}..{5} */
template <typename... Args> std::string tr(std::string_view key, std::string_view def, const Args&... args) {
    return TextCatalog::instance().text(key, def, {detail::toText(args)...});
}

template <std::invocable F> void TextCatalog::withDocument(const std::string& path, F&& f) {
    pugi::xml_document other;
    if (!isRegularFile(path) || !other.load_file(path.c_str(), pugi::parse_default & ~pugi::parse_eol))
        return;
    pugi::xml_document kept;
    kept.reset(doc_);
    const bool keptLoaded = loaded_;
    doc_.reset(other);
    loaded_ = true;
    try {
        f();
    } catch (...) {
        doc_.reset(kept);
        loaded_ = keptLoaded;
        throw;
    }
    doc_.reset(kept);
    loaded_ = keptLoaded;
}

} // namespace zep
