#include "InterchangeDocument.h"

#include "flash/FlashFile.h"
#include "memory/ZepError.h"
#include "text/TextCatalog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zep {

namespace {

/** the default namespace in scope at node: the nearest xmlns attribute, else none */
std::string_view defaultNamespace(pugi::xml_node node) {
    for (; node && node.type() == pugi::node_element; node = node.parent())
        if (const pugi::xml_attribute a = node.attribute("xmlns"))
            return a.value();
    return {};
}

/** the line of text around offset: all of it, or a window around offset when it is long */
std::string faultyLine(std::string_view text, std::size_t offset, std::size_t& line, std::size_t& column) {
    offset = std::min(offset, text.size());
    const std::size_t newline = offset == 0 ? std::string_view::npos : text.rfind('\n', offset - 1);
    const std::size_t first = newline == std::string_view::npos ? 0 : newline + 1;
    std::size_t last = text.find_first_of("\r\n", offset);
    if (last == std::string_view::npos)
        last = text.size();
    line = 1;
    for (std::size_t i = 0; i < first; ++i)
        line += text[i] == '\n';
    column = offset - first + 1;
    constexpr std::size_t shown = 160;
    if (last - first <= shown)
        return std::string(text.substr(first, last - first));
    const std::size_t from = offset - first > shown / 2 ? offset - shown / 2 : first;
    const std::size_t to = std::min(last, from + shown);
    return (from > first ? "..." : "") + std::string(text.substr(from, to - from)) + (to < last ? "..." : "");
}

/**
 * Parses buffer in place; the document owns it from here on. source gives the original text for the
 * message of a document that does not parse (in-place parsing has changed the buffer by then).
 */
template <class Source> void load(pugi::xml_document& doc, char* buffer, std::size_t size, Source&& source) {
    const pugi::xml_parse_result parsed =
        doc.load_buffer_inplace_own(buffer, size, interchangeParseOptions, pugi::encoding_auto);
    if (parsed)
        return;
    doc.reset();
    const std::string text = source();
    std::size_t line = 0, column = 0;
    const std::string faulty = faultyLine(text, static_cast<std::size_t>(parsed.offset), line, column);
    throw ZepError(errors::Xml,
                   tr("frmDatabase/Messages/importXML/parseError/text", "{0} (line {1}, column {2}){crlf}{3}",
                      parsed.description(), line, column, faulty));
}

} // namespace

pugi::xml_node CreateInterchangeDocument(pugi::xml_document& doc) {
    doc.reset();
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node styleSheet = doc.append_child(pugi::node_pi);
    styleSheet.set_name("xml-stylesheet");
    const std::string url =
        TextCatalog::instance().config("Parameters/xmlStyleSheetUrl", DefaultStyleSheetUrl);
    styleSheet.set_value(("type=\"text/xsl\" href=\"" + url + "\"").c_str());
    pugi::xml_node root = doc.append_child("xml");
    root.append_attribute("xmlns:dt") = xmlns::DataTypes;
    return root;
}

pugi::xml_node appendElement(pugi::xml_node parent, const char* name, std::string_view ns) {
    pugi::xml_node element = parent.append_child(name);
    if (defaultNamespace(parent) != ns)
        element.append_attribute("xmlns").set_value(ns.data(), ns.size());
    return element;
}

void appendCrLf(pugi::xml_node parent) {
    parent.append_child(pugi::node_pcdata).set_value("\r\n");
}

void loadInterchangeFile(pugi::xml_document& doc, const std::string& path) {
    std::uint64_t size = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(openRegularFile(path, &size), "rb"),
                                                               std::fclose);
    const auto fail = [&] {
        throw ZepError(errors::File, tr("common/cannotReadFile/text", "Unable to read file {0}{crlf}{1}",
                                        path, std::strerror(errno)));
    };
    if (!file)
        fail();
    // One buffer, parsed in place and kept by the document: a large file is not held twice.
    char* buffer = static_cast<char*>(pugi::get_memory_allocation_function()(size == 0 ? 1 : size));
    if (!buffer)
        throw std::bad_alloc();
    if (std::fread(buffer, 1, size, file.get()) != size) {
        pugi::get_memory_deallocation_function()(buffer);
        fail();
    }
    load(doc, buffer, size, [&path] { return readWholeFile(path); });
}

void loadInterchangeText(pugi::xml_document& doc, std::string_view text) {
    char* buffer = static_cast<char*>(pugi::get_memory_allocation_function()(text.empty() ? 1 : text.size()));
    if (!buffer)
        throw std::bad_alloc();
    std::memcpy(buffer, text.data(), text.size());
    load(doc, buffer, text.size(), [text] { return std::string(text); });
}

} // namespace zep
