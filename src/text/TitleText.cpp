#include "text/TitleText.h"

#include "text/InputLimits.h"
#include "text/Printable.h"

namespace vorn {

namespace {

bool isLineBreak(char16_t c)
{
    return (c >= u'\n' && c <= u'\r') || c == u'\u0085' || c == u'\u2028' || c == u'\u2029';
}

bool isOneLine(QStringView text)
{
    for (const QChar c : text) {
        if (isControlCharacter(c.unicode()) || isLineBreak(c.unicode()))
            return false;
    }
    return true;
}

// At most `limit` characters, never half of a surrogate pair.
QStringView upTo(QStringView text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    if (limit > 0 && text[limit - 1].isHighSurrogate())
        --limit;
    return text.first(limit);
}

} // namespace

QString oneLine(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue; // the LF that follows makes the one space
        if (isLineBreak(c) || c == u'\t')
            out += u' ';
        else if (!isControlCharacter(c))
            out += QChar(c);
    }
    return std::move(out).trimmed();
}

QString oneLine(const QString& text)
{
    return isOneLine(text) ? text.trimmed() : oneLine(QStringView(text));
}

TitleInput titleInput(QStringView text)
{
    TitleInput in{oneLine(text)};
    if (in.text.isEmpty())
        in.problem = TitleInput::Problem::blank;
    else if (in.text.size() > kTitleLimit)
        in.problem = TitleInput::Problem::tooLong;
    return in;
}

QString titleTooLongMessage()
{
    return QStringLiteral("That's an essay, not a thing. Titles stop at %1 characters.")
        .arg(limitText(kTitleLimit));
}

QString editableTitle(const QString& title)
{
    if (title.size() <= kTitleLimit)
        return oneLine(title);
    return oneLine(upTo(title, kTitleLimit));
}

QString shownTitle(const QString& title)
{
    if (title.size() <= kTitleLimit)
        return oneLine(title);
    return oneLine(upTo(title, kTitleLimit)) + u'\u2026';
}

QString menuItemText(const QString& name)
{
    return QString(name).replace(u'&', QStringLiteral("&&"));
}

} // namespace vorn
