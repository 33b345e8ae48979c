#pragma once

#include "FlashFile.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace zep {

/**
 * The lines of a text file as the flash readers take them: split at CR LF, or at LF when the text has
 * no CR LF at all; the text after the last delimiter is not a line. Lines lose their trailing blanks.
 */
class LineSplitter {
public:
    enum class Delimiter { CrLf, Lf, None };

    /** release, if given, hears of every few mebibytes of text left behind */
    explicit LineSplitter(std::string_view text, ReleaseBytes release = {});

    Delimiter delimiter() const { return delimiter_; }
    /** the next line and its number (from 1); false when no line is left */
    bool next(std::string_view& line, std::size_t& number);
    /**
     * next(), for a line whose record says it is expected characters long: when the delimiter is
     * right there and no LF comes before it, the line is taken without looking for its end.
     */
    bool next(std::string_view& line, std::size_t& number, std::size_t expected);
    /** the text from the next line on */
    std::string_view rest() const { return text_.substr(std::min(position_, text_.size())); }

private:
    /** whether the separator starts at at, which leaves room for it */
    bool delimiterAt(std::size_t at) const;
    void advance(std::size_t to);

    std::string_view text_;
    std::string_view separator_;
    std::size_t position_ = 0;
    std::size_t number_ = 0;
    Delimiter delimiter_;
    ReleaseBytes release_;
    std::size_t released_ = 0;
};

} // namespace zep
