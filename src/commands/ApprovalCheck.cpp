#include "ApprovalCheck.h"

#include "memory/MemBlock.h"
#include "memory/ZepError.h"
#include "text/TextCatalog.h"

#include <algorithm>
#include <cctype>

namespace zep::ApprovalCheck {

bool passes(const std::string& typed) {
    std::string padded = typed;
    if (padded.size() < std::size_t(Digits))
        padded.insert(0, Digits - padded.size(), '0');
    std::string digits;
    try {
        digits = MemBlock::fromHex(padded).toHex();
    } catch (const ZepError&) {
        return false;
    }
    return std::equal(digits.begin(), digits.end(), typed.begin(), typed.end(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
    });
}

std::string refusal() {
    return tr("frmPropAppli/Messages/approvalNumberError/text",
              "Approval field must be 5 bytes in hexadecimal (10 characters).");
}

} // namespace zep::ApprovalCheck
