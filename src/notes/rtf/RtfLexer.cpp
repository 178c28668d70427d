#include "notes/rtf/RtfLexer.h"

namespace vorn::rtf {

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

Token errorToken()
{
    Token token;
    token.kind = Token::Error;
    return token;
}

Token skippedToken()
{
    Token token;
    token.skipped = true;
    return token;
}

// Ten digits reach every int32; more can only be garbage, and would let a number grow without bound.
constexpr int maxDigits = 10;

} // namespace

Token Lexer::next()
{
    // A broken \' escape yields no token; loop rather than recurse, so a run of them cannot nest calls.
    for (;;) {
        Token token = scan();
        if (!token.skipped)
            return token;
    }
}

Token Lexer::scan()
{
    const qsizetype size = data_.size();
    while (pos_ < size && (data_[pos_] == '\r' || data_[pos_] == '\n'))
        ++pos_;
    Token token;
    if (pos_ >= size)
        return token;

    const char c = data_[pos_];
    if (c == '{' || c == '}') {
        ++pos_;
        token.kind = c == '{' ? Token::GroupOpen : Token::GroupClose;
        return token;
    }
    if (c != '\\') {
        const qsizetype start = pos_;
        while (pos_ < size) {
            const char d = data_[pos_];
            if (d == '\\' || d == '{' || d == '}' || d == '\r' || d == '\n')
                break;
            ++pos_;
        }
        token.kind = Token::Text;
        token.text = data_.sliced(start, pos_ - start);
        return token;
    }

    ++pos_; // the backslash
    if (pos_ >= size)
        return token; // a lone backslash at the very end: nothing more to read
    const char s = data_[pos_];
    if (!isLetter(s)) {
        ++pos_;
        if (s == '\'') {
            const int high = pos_ < size ? hexValue(data_[pos_]) : -1;
            const int low = pos_ + 1 < size ? hexValue(data_[pos_ + 1]) : -1;
            if (high < 0 || low < 0)
                return skippedToken(); // a broken escape stands for nothing
            pos_ += 2;
            token.kind = Token::Hex;
            token.byte = static_cast<unsigned char>(high * 16 + low);
            return token;
        }
        if (s == '\r' || s == '\n') {
            token.kind = Token::Word;
            token.text = "par";
            return token;
        }
        token.kind = Token::Symbol;
        token.symbol = s;
        return token;
    }

    const qsizetype start = pos_;
    while (pos_ < size && isLetter(data_[pos_]))
        ++pos_;
    token.kind = Token::Word;
    token.text = data_.sliced(start, pos_ - start);

    bool negative = false;
    if (pos_ + 1 < size && data_[pos_] == '-' && isDigit(data_[pos_ + 1])) {
        negative = true;
        ++pos_;
    }
    if (pos_ < size && isDigit(data_[pos_])) {
        std::int64_t value = 0;
        int digits = 0;
        while (pos_ < size && isDigit(data_[pos_])) {
            if (++digits > maxDigits)
                return errorToken();
            value = value * 10 + (data_[pos_] - '0');
            ++pos_;
        }
        if (negative)
            value = -value;
        if (value < INT32_MIN || value > INT32_MAX)
            return errorToken();
        token.hasParam = true;
        token.param = static_cast<std::int32_t>(value);
    }
    if (pos_ < size && data_[pos_] == ' ')
        ++pos_; // the delimiter belongs to the word

    if (token.text == QByteArrayView("bin")) {
        // Raw bytes follow; braces and backslashes among them mean nothing, so they are never lexed.
        const std::int64_t length = token.hasParam ? token.param : 0;
        if (length < 0 || length > size - pos_)
            return errorToken();
        token.kind = Token::Binary;
        token.text = data_.sliced(pos_, static_cast<qsizetype>(length));
        pos_ += static_cast<qsizetype>(length);
    }
    return token;
}

} // namespace vorn::rtf
