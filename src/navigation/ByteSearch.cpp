#include "navigation/ByteSearch.h"

#include "database/ImageStore.h"
#include "database/ItemKey.h"
#include "memory/Hex.h"
#include "memory/MemImage.h"
#include "text/TextCatalog.h"

#include <cctype>
#include <cstring>

namespace zep::ByteSearch {

namespace {

/** where pattern starts in bytes (at first), at at when given; nullopt when it does not */
std::optional<std::uint32_t> search(std::uint64_t first, std::span<const std::uint8_t> bytes,
                                    const std::vector<std::uint8_t>& pattern,
                                    std::optional<std::uint32_t> at) {
    if (bytes.size() < pattern.size())
        return std::nullopt;
    if (at) {
        if (*at < first || *at - first > bytes.size() - pattern.size())
            return std::nullopt;
        return std::memcmp(bytes.data() + (*at - first), pattern.data(), pattern.size()) == 0 ? at
                                                                                              : std::nullopt;
    }
    const void* found = memmem(bytes.data(), bytes.size(), pattern.data(), pattern.size());
    if (!found)
        return std::nullopt;
    return static_cast<std::uint32_t>(first +
                                      std::uint64_t(static_cast<const std::uint8_t*>(found) - bytes.data()));
}

} // namespace

std::optional<std::uint32_t> firstAddress(const MemImage& image, const std::vector<std::uint8_t>& pattern,
                                          std::optional<std::uint32_t> at) {
    if (pattern.empty())
        return std::nullopt;
    // Adjacent blocks (an image is stored as many small rows) are searched as one run of bytes: the
    // first block is looked at in place, a run of several is copied together.
    std::uint64_t runFirst = 0, runEnd = 0;
    std::span<const std::uint8_t> single;
    std::vector<std::uint8_t> joined;
    const auto flush = [&]() -> std::optional<std::uint32_t> {
        const auto found =
            search(runFirst, joined.empty() ? single : std::span<const std::uint8_t>(joined), pattern, at);
        joined.clear();
        single = {};
        return found;
    };
    for (const ImageBlock block : image) {
        if (block.first == runEnd && runEnd != 0) {
            if (joined.empty())
                joined.assign(single.begin(), single.end());
            joined.insert(joined.end(), block.bytes.begin(), block.bytes.end());
        } else {
            if (const auto found = flush())
                return found;
            runFirst = block.first;
            single = block.bytes;
        }
        runEnd = block.end();
    }
    return flush();
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(const std::string& text) {
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',')
            continue;
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            ++i;
            continue;
        }
        digits += c;
    }
    std::vector<std::uint8_t> bytes(digits.size() / 2);
    if (digits.empty() || !hex::decode(digits, bytes.data()))
        return std::nullopt;
    return bytes;
}

SearchResult find(Connection& db, const ByteQuery& query, const Progress& progress) {
    SearchQuery items = query.items;
    items.text.clear();
    std::string kinds;
    for (const char kind : {ItemKey::Application, ItemKey::Tuning})
        if (items.kinds.empty() || items.kinds.find(kind) != std::string::npos)
            kinds += kind;
    items.kinds = kinds;
    items.limit = 10'000'000;
    SearchResult candidates = ItemSearch::find(db, items);

    SearchResult result;
    const std::uint64_t total = candidates.hits.size();
    for (std::size_t i = 0; i < candidates.hits.size(); ++i) {
        if (progress && !progress(i, total))
            return result;
        SearchHit& hit = candidates.hits[i];
        const auto key = ItemKey::parse(hit.row.key);
        MemImage image;
        ImageStore::LoadImageRows(
            db, key->kind == ItemKey::Tuning ? ImageStore::Owner::Tuning : ImageStore::Owner::Application,
            key->id, image, false);
        const auto address = firstAddress(image, query.bytes, query.at);
        if (!address)
            continue;
        if (result.hits.size() == query.items.limit) {
            result.more = true;
            break;
        }
        hit.row.subItems[1] =
            tr("frmDatabase/Messages/search/atAddress/text", "Address: {0}H", hex::number(*address));
        result.hits.push_back(std::move(hit));
    }
    if (progress)
        progress(total, total);
    return result;
}

} // namespace zep::ByteSearch
