#include "text/Printable.h"

namespace vorn {

bool isControlCharacter(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

QString printable(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (!isControlCharacter(c.unicode()) || c == u'\n' || c == u'\t')
            out += c;
    }
    return out;
}

} // namespace vorn
