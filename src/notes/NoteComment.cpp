#include "notes/NoteComment.h"

#include <QStringList>

#include <limits>

namespace vorn::notes {

namespace {

// A decimal integer with an optional sign and nothing else around it.
std::optional<qint64> readInteger(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (value > (std::numeric_limits<qint64>::max() - (c - u'0')) / 10)
            return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

QList<qint64> readNumbers(QStringView value)
{
    QList<qint64> numbers;
    for (QStringView part : value.split(u',', Qt::SkipEmptyParts)) {
        if (const auto n = readInteger(part))
            numbers << *n;
    }
    return numbers;
}

QList<int> ordinals(const QList<qint64>& numbers)
{
    QList<int> out;
    for (qint64 n : numbers) {
        // Beyond int no note has that many headings: dropped like any other ordinal that names none.
        if (n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
            out << int(n);
    }
    return out;
}

QString joined(const QList<int>& numbers)
{
    QStringList parts;
    for (int n : numbers)
        parts << QString::number(n);
    return parts.join(u',');
}

} // namespace

NoteComment NoteComment::read(QStringView comment)
{
    std::optional<QList<qint64>> collapsible, collapsed, created;
    for (QStringView piece : comment.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = piece.indexOf(u'=');
        if (equals <= 0 || equals == piece.size() - 1)
            continue;
        const QStringView key = piece.left(equals);
        const QList<qint64> numbers = readNumbers(piece.mid(equals + 1));
        if (key == u"collapsible")
            collapsible = numbers;
        else if (key == u"collapsed")
            collapsed = numbers;
        else if (key == u"created")
            created = numbers;
    }
    NoteComment result;
    result.collapsed = ordinals(collapsed.value_or(QList<qint64>{}));
    result.collapsible = collapsible ? ordinals(*collapsible) : result.collapsed;
    if (created && !created->isEmpty())
        result.created = created->first();
    return result;
}

QString NoteComment::write() const
{
    QStringList items;
    if (created)
        items << QStringLiteral("created=") + QString::number(*created);
    if (!collapsible.isEmpty())
        items << QStringLiteral("collapsible=") + joined(collapsible);
    if (!collapsed.isEmpty())
        items << QStringLiteral("collapsed=") + joined(collapsed);
    return items.join(u';');
}

} // namespace vorn::notes
