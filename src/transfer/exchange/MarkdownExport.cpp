#include "transfer/exchange/MarkdownExport.h"

#include "text/Printable.h"
#include "text/TitleText.h"

#include <QStringList>

namespace vorn {

namespace {

constexpr QStringView kDay = u"yyyy-MM-dd";
constexpr QStringView kDayAndTime = u"yyyy-MM-dd HH:mm";

// A "(…)" group that is one of the marks; false leaves `marks` as it was.
bool readMark(QStringView group, ThingMarks& marks)
{
    if (group == u"someday" && !marks.someday && !marks.until) {
        marks.someday = true;
        return true;
    }
    if (group.startsWith(u"until ") && !marks.until && !marks.someday) {
        const QString when = group.sliced(6).toString();
        QDateTime at;
        if (when.size() == kDay.size())
            at = QDateTime(QDate::fromString(when, kDay), QTime(0, 0));
        else if (when.size() == kDayAndTime.size())
            at = QDateTime::fromString(when, kDayAndTime);
        if (!at.isValid())
            return false;
        marks.until = at;
        return true;
    }
    if (group.startsWith(u"done ") && !marks.doneOn) {
        const QDate day = QDate::fromString(group.sliced(5).toString(), kDay);
        if (!day.isValid())
            return false;
        marks.doneOn = day;
        return true;
    }
    if (group.startsWith(u"zZ ") && !marks.zs) {
        bool ok = false;
        const int n = group.sliced(3).toInt(&ok);
        if (!ok || n < 1 || group.sliced(3).startsWith(u'+') || group.sliced(3).startsWith(u'0'))
            return false;
        marks.zs = n;
        return true;
    }
    return false;
}

// Where the last "(…)" group of `title` starts, when the title ends with one.
qsizetype lastGroup(const QString& title)
{
    if (!title.endsWith(u')'))
        return -1;
    return title.lastIndexOf(u'(');
}

} // namespace

ThingMarks takeThingMarks(QString& title)
{
    ThingMarks marks;
    title = title.trimmed();
    for (;;) {
        const qsizetype open = lastGroup(title);
        // A mark stands apart from the title; one glued to it, or escaped, is the title's own.
        if (open <= 0 || title[open - 1] != u' ')
            break;
        if (!readMark(QStringView(title).sliced(open + 1, title.size() - open - 2), marks))
            break;
        title.truncate(open);
        title = title.trimmed();
    }
    // A title that itself ends like a mark was written with a backslash before its last group.
    const qsizetype open = lastGroup(title);
    if (open > 0 && title[open - 1] == u'\\') {
        ThingMarks ignored;
        if (readMark(QStringView(title).sliced(open + 1, title.size() - open - 2), ignored))
            title.remove(open - 1, 1);
    }
    return marks;
}

QString exchangeHeading(ExchangeListKind kind)
{
    switch (kind) {
    case ExchangeListKind::today:
        return QStringLiteral("Today");
    case ExchangeListKind::later:
        return QStringLiteral("Later");
    case ExchangeListKind::doneIsh:
        return QStringLiteral("Done-ish");
    case ExchangeListKind::pile:
        break;
    }
    return {};
}

QString writeMarkdown(const std::vector<ExchangeList>& lists)
{
    QString out;
    for (const ExchangeList& list : lists) {
        if (!out.isEmpty())
            out += u'\n';
        out += QStringLiteral("# ") + oneLine(list.name) + u'\n';
        QString group;
        bool first = true;
        for (const ExchangeThing& thing : list.things) {
            if (list.kind == ExchangeListKind::later && !thing.group.isEmpty() &&
                (first || thing.group != group)) {
                group = thing.group;
                out += QStringLiteral("\n## ") + oneLine(group) + u'\n';
                first = true;
            }
            if (first)
                out += u'\n';
            first = false;

            QString title = oneLine(thing.title);
            QString readBack = title;
            takeThingMarks(readBack);
            if (readBack != title)
                title.insert(lastGroup(title), u'\\');
            out += (thing.done ? QLatin1String("- [x] ") : QLatin1String("- [ ] ")) + title;
            if (thing.someday)
                out += QLatin1String(" (someday)");
            else if (thing.until)
                out += QLatin1String(" (until ") +
                       thing.until->toString(thing.until->time() == QTime(0, 0) ? kDay : kDayAndTime) + u')';
            if (thing.doneOn)
                out += QLatin1String(" (done ") + thing.doneOn->toString(kDay) + u')';
            if (thing.zs > 0)
                out += QLatin1String(" (zZ ") + QString::number(thing.zs) + u')';
            out += u'\n';
            for (const TransferStep& step : thing.steps)
                out += (step.done ? QLatin1String("  - [x] ") : QLatin1String("  - [ ] ")) +
                       oneLine(step.title) + u'\n';
            if (!thing.note.isEmpty()) {
                // A CR alone breaks the line as well; the note's other control characters stay out of
                // the file, which the import and a terminal then read as text.
                const QStringList lines = QString(thing.note)
                                              .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                                              .replace(u'\r', u'\n')
                                              .split(u'\n');
                for (const QString& line : lines) {
                    const QString text = printable(line);
                    out += text.isEmpty() ? QStringLiteral("  >\n") : QStringLiteral("  > ") + text + u'\n';
                }
            }
        }
    }
    return out;
}

} // namespace vorn
