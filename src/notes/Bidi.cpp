#include "notes/Bidi.h"

#include <unicode/uchar.h>

namespace vorn::notes::Bidi {

namespace {

bool inRightToLeftBlock(char32_t c)
{
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF) ||
           (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF);
}

} // namespace

std::optional<TextDirection> direction(QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        if (c == leftToRightMark)
            return TextDirection::ltr;
        if (c == rightToLeftMark)
            return TextDirection::rtl;
        if (u_charType(UChar32(c)) == U_DECIMAL_DIGIT_NUMBER)
            continue;
        const bool alphabetic = u_isUAlphabetic(UChar32(c));
        if (inRightToLeftBlock(c)) {
            if (alphabetic || c == 0x05BE)
                return TextDirection::rtl;
            continue;
        }
        if (alphabetic)
            return TextDirection::ltr;
    }
    return std::nullopt;
}

} // namespace vorn::notes::Bidi
