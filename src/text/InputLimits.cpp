#include "text/InputLimits.h"

#include <QLocale>

namespace vorn {

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// RTF ends each paragraph with the control word \par (not \pard, which only resets its format).
qsizetype rtfParagraphs(QByteArrayView rtf)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf[i] != '\\')
            continue;
        if (i + 1 < rtf.size() && !isAsciiLetter(rtf[i + 1])) {
            ++i; // an escaped symbol, "\\" among them
            continue;
        }
        const qsizetype word = i + 1;
        qsizetype end = word;
        while (end < rtf.size() && isAsciiLetter(rtf[end]))
            ++end;
        if (rtf.sliced(word, end - word) == "par")
            ++n;
        i = end - 1;
    }
    return n;
}

} // namespace

QString limitText(qint64 n)
{
    return QLocale(QLocale::English).toString(n);
}

qint64 utf8Size(QStringView text)
{
    qint64 bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            bytes += 1;
        else if (c < 0x800)
            bytes += 2;
        else if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                 QChar::isLowSurrogate(text[i + 1].unicode()))
            bytes += 4, ++i;
        else
            bytes += 3;
    }
    return bytes;
}

bool isNoteTooBig(QStringView plain)
{
    return plain.size() > kNoteCharacterLimit || plain.count(u'\n') >= kNoteParagraphLimit;
}

bool isNoteTooBig(QByteArrayView rtf)
{
    return rtf.size() > kImportLimit || rtfParagraphs(rtf) > kNoteParagraphLimit;
}

QString cutNote(QStringView plain)
{
    qsizetype end = std::min(plain.size(), kNoteCharacterLimit);
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (plain[i] == u'\n' && ++breaks == kNoteParagraphLimit) {
            end = i;
            break;
        }
    }
    if (end < plain.size() && end > 0 && plain[end - 1].isHighSurrogate())
        --end;
    return plain.first(end).toString();
}

} // namespace vorn
