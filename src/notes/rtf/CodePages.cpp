#include "notes/rtf/CodePages.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <iterator>

namespace vorn::rtf {

namespace {

// What 0x80..0x9F are in 1252; the five holes (0x81, 0x8D, 0x8F, 0x90, 0x9D) stay the C1 controls, as
// Windows' own conversion leaves them.
constexpr std::array<char16_t, 32> cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The code pages other programs write RTF in. Anything else reads as 1252.
constexpr std::array knownCodePages = {
    437,  708,  720,   737,   775,   850,   852,   855,   857,   860,   861,   862,   863,  864,
    865,  866,  869,   874,   932,   936,   949,   950,   1250,  1251,  1253,  1254,  1255, 1256,
    1257, 1258, 10000, 10001, 10003, 10004, 10005, 10006, 10007, 10008, 10029, 10081,
};

void appendCp1252(QString& out, QByteArrayView bytes)
{
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(b >= 0x80 && b < 0xA0 ? QChar(cp1252High[b - 0x80]) : QChar(b));
    }
}

QStringDecoder* openDecoder(int codePage)
{
    const QByteArray number = QByteArray::number(codePage);
    const QByteArray names[] = {
        codePage == 10000 ? QByteArray("macintosh") : "windows-" + number,
        "cp" + number,
        "ibm-" + number,
    };
    for (const QByteArray& name : names) {
        auto decoder = std::make_unique<QStringDecoder>(name.constData(), QStringConverter::Flag::Stateless);
        if (decoder->isValid())
            return decoder.release();
    }
    return nullptr;
}

} // namespace

int codePageForCharset(int charset)
{
    switch (charset) {
    case 0:
        return 1252; // ANSI
    case 2:
        return 1252; // Symbol: its glyphs have no code page; keep the bytes readable
    case 77:
        return 10000; // Mac Roman
    case 128:
        return 932; // Shift-JIS
    case 129:
        return 949; // Hangul
    case 134:
        return 936; // GB2312
    case 136:
        return 950; // Big5
    case 161:
        return 1253; // Greek
    case 162:
        return 1254; // Turkish
    case 163:
        return 1258; // Vietnamese
    case 177:
        return 1255; // Hebrew
    case 178:
        return 1256; // Arabic
    case 186:
        return 1257; // Baltic
    case 204:
        return 1251; // Cyrillic
    case 222:
        return 874; // Thai
    case 238:
        return 1250; // Eastern European
    case 254:
        return 437; // PC 437
    case 255:
        return 850; // OEM
    default:
        return 0; // 1 (default) and the rest: the document's code page
    }
}

CodePages::CodePages() = default;
CodePages::~CodePages() = default;

void CodePages::append(QString& out, int codePage, QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    bool plainAscii = true;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            plainAscii = false;
            break;
        }
    }
    // Every code page we open keeps ASCII as it is, bar the DBCS ones' trail bytes, which are never
    // alone: a lone ASCII stretch is ASCII.
    if (plainAscii || codePage == defaultCodePage ||
        std::find(knownCodePages.begin(), knownCodePages.end(), codePage) == knownCodePages.end()) {
        appendCp1252(out, bytes);
        return;
    }
    auto found = decoders_.find(codePage);
    if (found == decoders_.end())
        found = decoders_.emplace(codePage, std::unique_ptr<QStringDecoder>(openDecoder(codePage))).first;
    if (!found->second) {
        appendCp1252(out, bytes);
        return;
    }
    out.append((*found->second)(bytes));
}

} // namespace vorn::rtf
