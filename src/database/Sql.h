#pragma once

#include <QString>
#include <QVariant>

#include <optional>
#include <string>

/** Conversions between the records' values and the values of database columns. */
namespace zep::sql {

inline QString text(const std::string& s) {
    return QString::fromStdString(s);
}

/** a Null column reads as empty text */
inline std::string text(const QVariant& v) {
    return v.isNull() ? std::string() : v.toString().toStdString();
}

/** a Null column is an empty optional */
inline std::optional<std::string> optionalText(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return v.toString().toStdString();
}

inline QVariant nullableText(const std::optional<std::string>& s) {
    return s ? QVariant(QString::fromStdString(*s)) : QVariant(QMetaType(QMetaType::QString));
}

inline QVariant nullableBytes(const QByteArray& b) {
    return b.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(b);
}

/** text without its leading and trailing blanks */
inline std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

} // namespace zep::sql
