#include "Command.h"

#include "Arguments.h"
#include "TerminalText.h"

#include "commands/EcuCreation.h"
#include "commands/MapRows.h"
#include "database/Connection.h"
#include "database/ItemKey.h"
#include "memory/ZepError.h"
#include "navigation/ByteSearch.h"
#include "navigation/ItemSearch.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <iostream>

namespace zep::cli {

namespace {

/** "ecu,application" or "h,a": the key letters of the kinds named */
std::string kindLetters(const std::string& text) {
    static const std::pair<const char*, char> names[] = {
        {"function", ItemKey::Function}, {"ecu", ItemKey::Ecu},    {"application", ItemKey::Application},
        {"tuning", ItemKey::Tuning},     {"g", ItemKey::Function}, {"h", ItemKey::Ecu},
        {"a", ItemKey::Application},     {"c", ItemKey::Tuning},
    };
    std::string letters;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string name = text.substr(start, comma - start);
        const auto it =
            std::find_if(std::begin(names), std::end(names), [&](const auto& n) { return name == n.first; });
        if (it == std::end(names))
            throw UsageError("--kind takes function, ecu, application and tuning, separated by commas");
        letters += it->second;
        start = comma + 1;
    }
    return letters;
}

int find(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"kind", "function", "checked", "bytes", "text", "at", "limit"}, {});
    a.expectPositional(1, 2);
    const bool bytes = a.has("bytes") || a.has("text");
    if (bytes == (a.positional().size() == 2) || (a.has("bytes") && a.has("text")))
        throw UsageError("give either a QUERY, or --bytes HEX or --text TEXT to look into the images");
    if (a.has("at") && !bytes)
        throw UsageError("--at goes with --bytes or --text");

    SearchQuery query;
    if (!bytes)
        query.text = a.positional()[1];
    if (const auto kinds = a.value("kind"))
        query.kinds = kindLetters(*kinds);
    if (const auto function = a.value("function"))
        query.function = static_cast<int>(keyArgument(*function, {ItemKey::Function}).id);
    if (const auto checked = a.value("checked")) {
        if (*checked != "yes" && *checked != "no")
            throw UsageError("--checked takes yes or no");
        query.checked = *checked == "yes";
    }
    if (const auto limit = a.number("limit", 1, 1'000'000))
        query.limit = static_cast<std::size_t>(*limit);

    auto db = Connection::open(a.positional()[0], &ui, Access::Read);
    SearchResult result;
    if (bytes) {
        ByteQuery byteQuery;
        byteQuery.items = query;
        if (const auto hex = a.value("bytes")) {
            const auto parsed = ByteSearch::parseHexBytes(*hex);
            if (!parsed)
                throw UsageError("--bytes takes hexadecimal digits, two a byte: 0A1B or \"0x0A 0x1B\"");
            byteQuery.bytes = *parsed;
        } else {
            const std::string text = *a.value("text");
            if (text.empty())
                throw UsageError("--text takes the text to look for");
            byteQuery.bytes.assign(text.begin(), text.end());
        }
        if (const auto at = a.value("at")) {
            byteQuery.at = MapRows::parseAddress(*at);
            if (!byteQuery.at)
                throw UsageError("--at takes a hexadecimal address: 8000, 0x8000 or 8000H");
        }
        const std::string what = tr("zep/Messages/findBytes/text", "Searching the images");
        result = ByteSearch::find(*db, byteQuery, [&](std::uint64_t done, std::uint64_t total) {
            ui.progress(what, done, total);
            return true;
        });
    } else {
        result = ItemSearch::find(*db, query);
    }
    for (const SearchHit& hit : result.hits)
        std::cout << hit.row.key << '\t'
                  << printable(hit.path().empty() ? hit.row.text : hit.path() + "\\" + hit.row.text) << '\t'
                  << printable(hit.row.subItems[1]) << '\n';
    if (result.hits.empty())
        throw ZepError(errors::File,
                       tr("zep/Messages/findNothing/text",
                          "Nothing matches: look for a shorter part of a name or code, or fewer kinds"));
    std::cerr << printable(ItemSearch::countText(result)) << '\n';
    return 0;
}

/** "global:1000-1FFF,tuning:2000-2FFF,exclusion:2100-21FF" */
std::vector<MapRows::MapEntry> mapEntries(const std::string& text) {
    using Kind = MapRows::MapEntry::Kind;
    static const std::pair<const char*, Kind> kinds[] = {
        {"global", Kind::Global}, {"tuning", Kind::Tuning}, {"exclusion", Kind::Exclusion}};
    const UsageError usage("--map takes KIND:FIRST-LAST ranges separated by commas, KIND global, tuning or "
                           "exclusion, addresses in hexadecimal: global:8000-BFFF,tuning:C000-FFFF");
    std::vector<MapRows::MapEntry> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string range = text.substr(start, comma - start);
        const std::size_t colon = range.find(':'), dash = range.find('-');
        if (colon == std::string::npos || dash == std::string::npos || dash < colon)
            throw usage;
        const auto kind = std::find_if(std::begin(kinds), std::end(kinds),
                                       [&](const auto& k) { return range.substr(0, colon) == k.first; });
        const auto first = MapRows::parseAddress(range.substr(colon + 1, dash - colon - 1));
        const auto last = MapRows::parseAddress(range.substr(dash + 1));
        if (kind == std::end(kinds) || !first || !last)
            throw usage;
        entries.push_back({kind->second, *first, *last});
        start = comma + 1;
    }
    return entries;
}

int newEcu(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args,
                      {"name", "comment", "inter-byte-delay", "reply-to-request-delay", "fill-pattern",
                       "write-granularity", "repeat-pattern", "upload-crc", "identification-type", "map"},
                      {});
    a.expectPositional(2);
    const ItemKey function = keyArgument(a.positional()[1], {ItemKey::Function});
    if (!a.value("name"))
        throw UsageError("--name gives the new ECU's name");
    auto db = Connection::open(a.positional()[0], &ui, Access::Write);
    ZEPEcu ecu = EcuCreation::defaults(*db, static_cast<int>(function.id));
    ecu.Nom = *a.value("name");
    ecu.Commentaire = a.value("comment").value_or("");
    if (const auto delay = a.number("inter-byte-delay", 0, 255))
        ecu.InterByteDelay = static_cast<int>(*delay);
    if (const auto delay = a.number("reply-to-request-delay", 0, 255))
        ecu.ReplyToRequestDelay = static_cast<int>(*delay);
    if (const auto size = a.number("write-granularity", 1, INT32_MAX))
        ecu.WriteGranularity = static_cast<int>(*size);
    if (const auto type = a.number("identification-type", INT32_MIN, INT32_MAX))
        ecu.IdentificationType = static_cast<int>(*type);
    for (const auto& [option, block] :
         {std::pair{"fill-pattern", &ecu.FillPattern}, {"repeat-pattern", &ecu.RepeatPattern}})
        if (const auto hex = a.value(option)) {
            const auto bytes = ByteSearch::parseHexBytes(*hex);
            if (!bytes)
                throw UsageError(std::string("--") + option + " takes hexadecimal digits, two a byte: FF");
            block->setBytes(*bytes);
        }
    if (const auto crc = a.value("upload-crc")) {
        if (*crc != "yes" && *crc != "no")
            throw UsageError("--upload-crc takes yes or no");
        ecu.UploadRL = *crc == "yes" ? ZEPEcu::UploadWithCrc : ZEPEcu::UploadWithoutCrc;
    }
    if (const auto map = a.value("map")) {
        const auto entries = mapEntries(*map);
        if (const auto wrong = MapRows::check(entries))
            throw ZepError(errors::InvalidArgument, *wrong);
        MapRows::apply(entries, ecu);
    }
    std::cout << ItemKey{ItemKey::Ecu, EcuCreation::create(*db, ecu)}.text() << '\n';
    return 0;
}

} // namespace

Command findCommand() {
    return {
        "db find",
        "zep db find DB QUERY | --bytes HEX | --text TEXT [--at ADDR] [--kind KINDS] [--function gADDRESS] "
        "[--checked yes|no] [--limit N]",
        "  Finds the items whose names, identification codes, approval numbers, comments or addresses\n"
        "  hold QUERY (any case), as the list shows them; or the applications and tunings whose images hold\n"
        "  the bytes HEX or the text TEXT (at the hexadecimal address ADDR with --at). KINDS: function, "
        "ecu,\n"
        "  application, tuning, separated by commas. Prints a key, the path and what matched a line (at\n"
        "  most 500, or N); exit 1 when nothing matches.\n",
        find};
}

Command newEcuCommand() {
    return {
        "db new-ecu",
        "zep db new-ecu DB gADDRESS --name NAME [--comment TEXT] [--inter-byte-delay N] "
        "[--reply-to-request-delay N] [--fill-pattern HEX] [--write-granularity N] [--repeat-pattern HEX] "
        "[--upload-crc yes|no] [--identification-type N] [--map KIND:FIRST-LAST,...]",
        "  Makes a new ECU under the function gADDRESS of a local database, with the defaults of a new ECU\n"
        "  (the identification type of the function's ECUs, erased state FF, requests of 256 bytes) and\n"
        "  the memory map of --map: global, tuning and exclusion ranges, addresses in hexadecimal. Prints\n"
        "  its key.\n",
        newEcu};
}

} // namespace zep::cli
