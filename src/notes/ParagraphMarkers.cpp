#include "notes/ParagraphMarkers.h"

namespace vorn::notes::ParagraphMarkers {

namespace {

constexpr int kMaxNumberDigits = 6;
constexpr int kMinDividerRun = 8;

bool isDirectionMark(char16_t c)
{
    return c == leftToRightMark || c == rightToLeftMark;
}

bool isLineBreak(char16_t c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

QString divider()
{
    return QString(dividerLength, QChar(dividerCharacter));
}

QString marker(ParagraphKind kind)
{
    switch (kind.kase) {
    case ParagraphKind::Case::checkbox:
        return QString(QChar(kind.checked ? checked : unchecked)) + u'\t';
    case ParagraphKind::Case::number:
        return QString::number(kind.number) + u".\t";
    case ParagraphKind::Case::bullet:
        return QString(QChar(bullet)) + u'\t';
    case ParagraphKind::Case::divider:
        return divider();
    case ParagraphKind::Case::plain:
        break;
    }
    return {};
}

ParagraphInfo parse(QStringView s)
{
    const int length = int(s.size());
    int n = 0;
    while (n < length && isDirectionMark(s[n].unicode()))
        ++n;
    if (n == length)
        return {ParagraphKind::plain(), n, 0};

    const char16_t first = s[n].unicode();
    if ((first == checked || first == unchecked || first == bullet) && n + 1 < length && s[n + 1] == u'\t') {
        const ParagraphKind kind =
            first == bullet ? ParagraphKind::bullet() : ParagraphKind::checkbox(first == checked);
        return {kind, n, 2};
    }

    if (first >= u'0' && first <= u'9') {
        int value = 0;
        int h = n;
        while (h < length && h - n < kMaxNumberDigits && s[h] >= u'0' && s[h] <= u'9') {
            value = value * 10 + (s[h].unicode() - u'0');
            ++h;
        }
        if (h + 1 < length && s[h] == u'.' && s[h + 1] == u'\t')
            return {ParagraphKind::numbered(value), n, h - n + 2};
    }

    int end = length;
    while (end > n && isLineBreak(s[end - 1].unicode()))
        --end;
    if (end - n >= kMinDividerRun) {
        bool allRule = true;
        for (int i = n; i < end && allRule; ++i)
            allRule = s[i] == dividerCharacter;
        if (allRule)
            return {ParagraphKind::divider(), n, end - n};
    }
    return {ParagraphKind::plain(), n, 0};
}

ParagraphKind nextItem(ParagraphKind kind)
{
    switch (kind.kase) {
    case ParagraphKind::Case::checkbox:
        return ParagraphKind::checkbox(false);
    case ParagraphKind::Case::number:
        return ParagraphKind::numbered(kind.number + 1);
    case ParagraphKind::Case::bullet:
        return ParagraphKind::bullet();
    default:
        return ParagraphKind::plain();
    }
}

} // namespace vorn::notes::ParagraphMarkers
