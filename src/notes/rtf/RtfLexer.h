#pragma once

#include <QByteArrayView>

#include <cstdint>

// Splits RTF into tokens, one at a time, without allocating: words and text are views into the input.
namespace vorn::rtf {

struct Token {
    enum Kind {
        End,   // the input is used up
        Error, // the input cannot be RTF (a number too long, \bin past the end)
        GroupOpen,
        GroupClose,
        Word,   // \name or \nameN; `symbol` is 0
        Symbol, // \ followed by one non-letter, in `symbol`; \<newline> is reported as \par
        Hex,    // \'hh, the byte in `byte`
        Text,   // a stretch of plain bytes (no CR or LF) in `text`
        Binary, // the data of \binN, in `text`
    };
    Kind kind = End;
    QByteArrayView text; // Word: the name; Text, Binary: the bytes
    bool hasParam = false;
    std::int32_t param = 0;
    char symbol = 0;
    unsigned char byte = 0;
    bool skipped = false; // internal to the lexer: nothing to report, scan on
};

class Lexer {
public:
    explicit Lexer(QByteArrayView data) : data_(data) {}

    Token next();
    qsizetype position() const { return pos_; }
    void skipTo(qsizetype pos) { pos_ = pos; }

private:
    Token scan();

    QByteArrayView data_;
    qsizetype pos_ = 0;
};

} // namespace vorn::rtf
