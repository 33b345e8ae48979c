#include "LineSplitter.h"

#include <cstring>

namespace zep {

LineSplitter::LineSplitter(std::string_view text) : text_(text) {
    if (text.find("\r\n") != std::string_view::npos) {
        delimiter_ = Delimiter::CrLf;
        separator_ = "\r\n";
    } else if (text.find('\n') != std::string_view::npos) {
        delimiter_ = Delimiter::Lf;
        separator_ = "\n";
    } else {
        delimiter_ = Delimiter::None;
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
    position_ = end + separator_.size();
    number = ++number_;
    return true;
}

} // namespace zep
