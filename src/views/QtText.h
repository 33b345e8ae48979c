#pragma once

#include "text/TextCatalog.h"

#include <QString>

#include <string>

namespace zep {

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

inline std::string ss(const QString& s) {
    return s.toStdString();
}

/** a localised text as a QString, with its arguments for {0}..{5} */
template <typename... Args> QString qtr(std::string_view key, std::string_view def, const Args&... args) {
    return qs(tr(key, def, args...));
}

/** a lookup filter "Desc (*.a)|*.a;*.b|All files (*.*)|*.*" in the form of Qt's file dialogs */
QString dialogFilter(const std::string& barSeparated);

} // namespace zep
