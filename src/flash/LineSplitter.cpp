#include "LineSplitter.h"

#include <cstdint>
#include <cstring>

namespace zep {

namespace {
constexpr std::size_t releaseStep = std::size_t{4} << 20;
}

LineSplitter::LineSplitter(std::string_view text, ReleaseBytes release)
    : text_(text), release_(std::move(release)) {
    // The first line end tells most files apart at once. Only a file whose first line ends in a bare LF
    // is searched further for a CR LF, which would still make it a CR LF file; that search gives the
    // pages it went through back as it goes.
    const std::size_t lf = text.find('\n');
    bool crLf = lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r';
    for (std::size_t from = lf; !crLf && from < text.size(); from += releaseStep) {
        const std::string_view piece = text.substr(from, releaseStep + 1);
        crLf = piece.find("\r\n") != std::string_view::npos;
        if (release_)
            release_(from, from + releaseStep);
    }
    if (crLf) {
        delimiter_ = Delimiter::CrLf;
        separator_ = "\r\n";
    } else if (lf != std::string_view::npos) {
        delimiter_ = Delimiter::Lf;
        separator_ = "\n";
    } else {
        delimiter_ = Delimiter::None;
    }
}

void LineSplitter::advance(std::size_t to) {
    position_ = to;
    if (release_ && position_ - released_ >= releaseStep) {
        release_(released_, position_);
        released_ = position_;
    }
}

bool LineSplitter::next(std::string_view& line, std::size_t& number) {
    if (delimiter_ == Delimiter::None)
        return false;
    // Every delimiter ends with LF: look for LF with memchr, and in CR LF files skip the LFs that
    // have no CR before them (they belong to the line).
    std::size_t from = position_;
    std::size_t end;
    for (;;) {
        const void* lf =
            from < text_.size() ? std::memchr(text_.data() + from, '\n', text_.size() - from) : nullptr;
        if (!lf)
            return false;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(lf) - text_.data());
        if (delimiter_ == Delimiter::Lf) {
            end = at;
            break;
        }
        if (at > position_ && text_[at - 1] == '\r') {
            end = at - 1;
            break;
        }
        from = at + 1;
    }
    line = text_.substr(position_, end - position_);
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    advance(end + separator_.size());
    number = ++number_;
    return true;
}

namespace {
/** whether count bytes from p hold no LF: eight at a time, as a line is too short for memchr to pay */
bool noLineFeed(const char* p, std::size_t count) {
    constexpr std::uint64_t ones = 0x0101010101010101, highs = 0x8080808080808080, lfs = ones * '\n';
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        const std::uint64_t x = word ^ lfs;
        if ((x - ones) & ~x & highs)
            return false;
    }
    for (; i < count; ++i)
        if (p[i] == '\n')
            return false;
    return true;
}
} // namespace

bool LineSplitter::delimiterAt(std::size_t at) const {
    return delimiter_ == Delimiter::Lf ? text_[at] == '\n' : text_[at] == '\r' && text_[at + 1] == '\n';
}

bool LineSplitter::next(std::string_view& line, std::size_t& number, std::size_t expected) {
    const std::size_t end = position_ + expected;
    if (delimiter_ == Delimiter::None || expected == 0 || end > text_.size() ||
        text_.size() - end < separator_.size() || !delimiterAt(end) ||
        !noLineFeed(text_.data() + position_, expected))
        return next(line, number);
    line = text_.substr(position_, expected);
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    advance(end + separator_.size());
    number = ++number_;
    return true;
}

} // namespace zep
