#pragma once

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

    explicit LineSplitter(std::string_view text);

    Delimiter delimiter() const { return delimiter_; }
    /** the next line and its number (from 1); false when no line is left */
    bool next(std::string_view& line, std::size_t& number);

private:
    std::string_view text_;
    std::string_view separator_;
    std::size_t position_ = 0;
    std::size_t number_ = 0;
    Delimiter delimiter_;
};

} // namespace zep
