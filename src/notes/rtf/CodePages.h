#pragma once

#include <QByteArrayView>
#include <QString>

#include <map>
#include <memory>

class QStringDecoder;

// Windows code pages as RTF names them (\ansicpgN, \cpgN, \fcharsetN), decoded to Unicode.
namespace vorn::rtf {

inline constexpr int defaultCodePage = 1252;

// The code page a font's \fcharsetN stands for; 0 when the charset names none (then the document's
// code page applies).
int codePageForCharset(int charset);

// Decodes bytes in a code page. 1252 is built in, so the usual case never depends on ICU; the others
// come from Qt's ICU-backed decoders, opened once per code page. A code page we do not know, or that
// this Qt cannot decode, is read as 1252.
class CodePages {
public:
    CodePages();
    ~CodePages();
    CodePages(const CodePages&) = delete;
    CodePages& operator=(const CodePages&) = delete;

    void append(QString& out, int codePage, QByteArrayView bytes);

private:
    // Only code pages from a fixed list are ever opened, so hostile input cannot make us open many.
    std::map<int, std::unique_ptr<QStringDecoder>> decoders_;
};

} // namespace vorn::rtf
