#include "serversync/ResourceText.h"

#include <algorithm>

namespace vorn {

namespace {

// The logical lines of the text, each with its folds as they were (a fold is CRLF or LF, then a space
// or tab), so a line goes out again byte for byte.
std::vector<QByteArray> logicalLines(const QByteArray& text)
{
    std::vector<QByteArray> lines;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = at;
        for (;;) {
            end = text.indexOf('\n', end);
            if (end < 0) {
                end = text.size();
                break;
            }
            ++end;
            if (end >= text.size() || (text[end] != ' ' && text[end] != '\t'))
                break;
        }
        lines.push_back(text.mid(at, end - at));
        at = end;
    }
    return lines;
}

// The line unfolded, without its ending.
QByteArray unfolded(const QByteArray& line)
{
    QByteArray out;
    out.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\r')
            continue;
        if (c == '\n') {
            ++i; // the fold's space or tab
            continue;
        }
        out += c;
    }
    return out;
}

bool is(const QByteArray& line, const char* what)
{
    return unfolded(line).trimmed().compare(what, Qt::CaseInsensitive) == 0;
}

// The property's name (upper case), parameters and value.
struct Property {
    QByteArray name;
    QByteArray params;
    QByteArray value;
};

Property property(const QByteArray& line)
{
    const QByteArray u = unfolded(line);
    // The value starts at the first colon outside a quoted parameter value.
    bool quoted = false;
    qsizetype colon = -1;
    for (qsizetype i = 0; i < u.size(); ++i) {
        if (u[i] == '"')
            quoted = !quoted;
        else if (u[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon < 0)
        return {};
    const QByteArray head = u.left(colon);
    const qsizetype semi = head.indexOf(';');
    return {(semi < 0 ? head : head.left(semi)).toUpper(),
            semi < 0 ? QByteArray() : head.mid(semi + 1).toUpper(), u.mid(colon + 1)};
}

} // namespace

std::vector<CalendarResource> splitResources(const QByteArray& calendar)
{
    const std::vector<QByteArray> lines = logicalLines(calendar);
    QByteArray header;
    QByteArray zones;
    std::vector<QByteArray> todos;
    int depth = 0; // inside the VCALENDAR: 0; inside one of its components: 1 and more
    bool inZone = false;
    bool headerDone = false;
    QByteArray current;
    for (const QByteArray& line : lines) {
        if (is(line, "BEGIN:VCALENDAR") || is(line, "END:VCALENDAR"))
            continue;
        const bool begins = unfolded(line).toUpper().startsWith("BEGIN:");
        const bool ends = unfolded(line).toUpper().startsWith("END:");
        if (depth == 0 && begins) {
            headerDone = true;
            inZone = is(line, "BEGIN:VTIMEZONE");
            current.clear();
        }
        if (depth == 0 && !begins) {
            if (!headerDone)
                header += line;
            continue;
        }
        current += line;
        depth += begins ? 1 : ends ? -1 : 0;
        if (depth == 0) {
            if (inZone)
                zones += current;
            else
                todos.push_back(current);
        }
    }
    std::vector<CalendarResource> out;
    for (const QByteArray& todo : todos) {
        CalendarResource r = resourceIdentity(todo);
        r.text = QByteArray("BEGIN:VCALENDAR\r\n") + header + zones + todo + QByteArray("END:VCALENDAR\r\n");
        out.push_back(std::move(r));
    }
    return out;
}

CalendarResource resourceIdentity(const QByteArray& text)
{
    CalendarResource r;
    int depth = 0;
    bool inTodo = false;
    for (const QByteArray& line : logicalLines(text)) {
        const Property p = property(line);
        if (p.name == "BEGIN") {
            ++depth;
            if (!inTodo && p.value.trimmed().toUpper() == "VTODO")
                inTodo = true;
            continue;
        }
        if (p.name == "END") {
            --depth;
            if (inTodo && p.value.trimmed().toUpper() == "VTODO")
                break;
            continue;
        }
        if (!inTodo)
            continue;
        if (p.name == "UID" && r.uid.isEmpty())
            r.uid = QString::fromUtf8(p.value.trimmed());
        else if (p.name == "RELATED-TO" && r.parent.isEmpty() &&
                 (!p.params.contains("RELTYPE=") || p.params.contains("RELTYPE=PARENT")))
            r.parent = QString::fromUtf8(p.value.trimmed());
    }
    return r;
}

QByteArray withLastModified(const QByteArray& text, const QDateTime& when)
{
    QByteArray out;
    int depth = 0;
    bool done = false;
    for (const QByteArray& line : logicalLines(text)) {
        const Property p = property(line);
        if (p.name == "END")
            --depth;
        // The to-do's own, not an alarm's inside it.
        if (!(depth == 2 && p.name == "LAST-MODIFIED"))
            out += line;
        if (p.name == "BEGIN") {
            ++depth;
            if (!done && depth == 2 && p.value.trimmed().toUpper() == "VTODO") {
                out += "LAST-MODIFIED:" +
                       when.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1() + "\r\n";
                done = true;
            }
        }
    }
    return out;
}

namespace {

// The resource's lines, unfolded, but for when it was written and changed.
std::vector<QByteArray> contentLines(const QByteArray& text)
{
    std::vector<QByteArray> kept;
    for (const QByteArray& line : logicalLines(text))
        if (const QByteArray name = property(line).name; name != "DTSTAMP" && name != "LAST-MODIFIED")
            kept.push_back(unfolded(line));
    return kept;
}

} // namespace

bool sameResourceText(const QByteArray& a, const QByteArray& b)
{
    return contentLines(a) == contentLines(b);
}

bool sameLines(const QByteArray& a, const QByteArray& b)
{
    std::vector<QByteArray> one = contentLines(a), other = contentLines(b);
    std::sort(one.begin(), one.end());
    std::sort(other.begin(), other.end());
    return one == other;
}

} // namespace vorn
