#include "LineSplitter.h"

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
    const std::size_t end = text_.find(separator_, position_);
    if (end == std::string_view::npos)
        return false;
    line = text_.substr(position_, end - position_);
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    position_ = end + separator_.size();
    number = ++number_;
    return true;
}

} // namespace zep
