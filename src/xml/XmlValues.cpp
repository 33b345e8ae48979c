#include "XmlValues.h"

#include "memory/ZepError.h"
#include "text/TextCatalog.h"

namespace zep::xmlvalues {

void missing(std::string_view what) {
    throw ZepError(errors::Xml,
                   tr("ZEPEcu/Messages/readFromXMLElement/missingNode/text", "Missing {0}", what));
}

void invalid(std::string_view text, std::string_view what) {
    // A long text (image data) is shown by its start only.
    const std::string shown = text.size() > 64 ? std::string(text.substr(0, 64)) + "..." : std::string(text);
    throw ZepError(errors::Xml, tr("ZEPEcu/Messages/readFromXMLElement/invalidValue/text",
                                   "Invalid value \"{0}\" for {1}", shown, what));
}

pugi::xml_node child(const pugi::xml_node& parent, const char* name, std::string_view what) {
    const pugi::xml_node node = parent.child(name);
    if (!node)
        missing(what);
    return node;
}

std::string text(const pugi::xml_node& element, const char* name, std::string_view what) {
    const pugi::xml_attribute a = element.attribute(name);
    if (!a)
        missing(what);
    return a.value();
}

std::int64_t integer(const pugi::xml_node& element, const char* name, std::int64_t least, std::int64_t most,
                     std::string_view what) {
    const std::string value = text(element, name, what);
    const auto n = parseInteger(value);
    if (!n || *n < least || *n > most)
        invalid(value, what);
    return *n;
}

} // namespace zep::xmlvalues
