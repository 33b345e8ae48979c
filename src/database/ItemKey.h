#pragma once

#include <QtGlobal>

#include <optional>
#include <string>

namespace zep {

/**
 * The key of a tree node or list item: a kind letter and a decimal identifier. "r" is the root,
 * "g" + address a function, "h" + Ecu Id an ECU, "a" + App Id an application, "c" + Calib Id a tuning.
 */
struct ItemKey {
    char kind = 0;
    qint64 id = 0;

    static constexpr char Root = 'r', Function = 'g', Ecu = 'h', Application = 'a', Tuning = 'c';

    /** nullopt for an empty key, an unknown kind, or an identifier that is not a decimal number */
    [[nodiscard]] static std::optional<ItemKey> parse(const std::string& key);
    std::string text() const;

    bool operator==(const ItemKey&) const = default;
};

/** the first character of a key, or 0 for an empty key */
char keyKind(const std::string& key);

} // namespace zep
