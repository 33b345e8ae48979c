#include "ItemKey.h"

#include <charconv>

namespace zep {

char keyKind(const std::string& key) {
    return key.empty() ? 0 : key.front();
}

std::optional<ItemKey> ItemKey::parse(const std::string& key) {
    if (key.empty())
        return std::nullopt;
    const char kind = key.front();
    if (kind == Root)
        return key.size() == 1 ? std::optional<ItemKey>(ItemKey{Root, 0}) : std::nullopt;
    if (kind != Function && kind != Ecu && kind != Application && kind != Tuning)
        return std::nullopt;
    qint64 id = 0;
    const char* first = key.data() + 1;
    const char* last = key.data() + key.size();
    const auto [end, ec] = std::from_chars(first, last, id);
    if (first == last || ec != std::errc() || end != last || id < 0)
        return std::nullopt;
    return ItemKey{kind, id};
}

std::string ItemKey::text() const {
    return kind == Root ? std::string("r") : kind + std::to_string(id);
}

} // namespace zep
