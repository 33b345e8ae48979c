#include "database/SqlScript.h"

#include <QRegularExpression>

namespace zep {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

} // namespace

QStringList splitSqlScript(const QString& script) {
    static const QRegularExpression triggerStart(QStringLiteral("^\\s*CREATE\\s+(TEMP\\w*\\s+)?TRIGGER\\b"),
                                                 QRegularExpression::CaseInsensitiveOption);
    QStringList statements;
    QString current;
    int blockDepth = 0; // BEGIN/CASE ... END nesting inside an SQLite trigger
    const qsizetype n = script.size();
    qsizetype i = 0;

    const auto finish = [&] {
        const QString statement = current.trimmed();
        if (!statement.isEmpty())
            statements.append(statement);
        current.clear();
        blockDepth = 0;
    };
    // Copies script[i..] up to and including the closing text; an unclosed quote runs to the end.
    const auto copyUntil = [&](const QString& closing, qsizetype skip) {
        const qsizetype end = script.indexOf(closing, i + skip);
        const qsizetype stop = end < 0 ? n : end + closing.size();
        current += script.mid(i, stop - i);
        i = stop;
    };

    while (i < n) {
        const QChar c = script[i];
        if (c == QLatin1Char('-') && i + 1 < n && script[i + 1] == QLatin1Char('-')) {
            const qsizetype end = script.indexOf(QLatin1Char('\n'), i);
            i = end < 0 ? n : end + 1;
            current += QLatin1Char('\n');
        } else if (c == QLatin1Char('/') && i + 1 < n && script[i + 1] == QLatin1Char('*')) {
            const qsizetype end = script.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            current += QLatin1Char(' ');
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote inside is two quoted runs back to back: the result is the same.
            copyUntil(QString(c), 1);
        } else if (c == QLatin1Char('[')) {
            copyUntil(QStringLiteral("]"), 1);
        } else if (c == QLatin1Char('$') && (i == 0 || !isWordChar(script[i - 1]))) {
            qsizetype end = i + 1;
            while (end < n && isWordChar(script[end]))
                ++end;
            if (end < n && script[end] == QLatin1Char('$'))
                copyUntil(script.mid(i, end - i + 1), end - i + 1);
            else
                current += script[i++];
        } else if (isWordChar(c)) {
            qsizetype end = i;
            while (end < n && isWordChar(script[end]))
                ++end;
            const QString word = script.mid(i, end - i);
            current += word;
            i = end;
            if (word.compare(QLatin1String("BEGIN"), Qt::CaseInsensitive) == 0 ||
                word.compare(QLatin1String("CASE"), Qt::CaseInsensitive) == 0) {
                if (triggerStart.match(current).hasMatch())
                    ++blockDepth;
            } else if (word.compare(QLatin1String("END"), Qt::CaseInsensitive) == 0 && blockDepth > 0) {
                --blockDepth;
            }
        } else if (c == QLatin1Char(';') && blockDepth == 0) {
            finish();
            ++i;
        } else {
            current += c;
            ++i;
        }
    }
    finish();
    return statements;
}

} // namespace zep
