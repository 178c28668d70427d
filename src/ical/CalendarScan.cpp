#include "ical/CalendarScan.h"

#include "ical/CalendarTodo.h"

#include <QByteArrayView>

#include <algorithm>

namespace vorn::ical::detail {

namespace {

// The name after "BEGIN:" or "END:" of a line, upper case; empty when the line is neither.
QByteArray nameAfter(QByteArrayView line, QByteArrayView prefix)
{
    if (line.size() <= prefix.size() || qstrnicmp(line.data(), prefix.data(), prefix.size()) != 0)
        return {};
    return line.sliced(prefix.size()).toByteArray().toUpper();
}

} // namespace

TextScan scanText(const QByteArray& text)
{
    TextScan out;
    struct Open {
        QByteArray name;
        int line;
    };
    std::vector<Open> open;
    bool clean = true;
    bool calendarSeen = false;
    qsizetype blockBegin = -1;
    qsizetype logical = 0; // the length of the logical line being read, folds taken out
    auto endLogical = [&] {
        if (logical > kCalendarPropertyLimit) {
            for (const Open& o : open)
                out.tooBig.insert(o.line);
        }
        logical = 0;
    };

    const QByteArrayView all(text);
    int line = 1;
    for (qsizetype start = 0; start <= all.size(); ++line) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        QByteArrayView raw = all.sliced(start, end - start);
        if (raw.endsWith('\r'))
            raw.chop(1);
        const qsizetype next = end + 1;
        const bool folded = !raw.isEmpty() && (raw.front() == ' ' || raw.front() == '\t');
        const QByteArrayView content = raw.trimmed();
        const QByteArray begin = nameAfter(content, "BEGIN:");
        if (!begin.isEmpty())
            out.begins[begin].push_back(line);
        if (folded) {
            logical += raw.size() - 1;
            // libical joins such a line to the one before; a cut there would go wrong.
            if (!begin.isEmpty() || !nameAfter(content, "END:").isEmpty())
                clean = false;
            start = next;
            continue;
        }
        endLogical();
        logical = raw.size();
        if (!begin.isEmpty()) {
            if (open.empty()) {
                clean &= begin == "VCALENDAR" && !calendarSeen;
                calendarSeen = true;
            } else if (open.size() == 1) {
                blockBegin = start;
            }
            open.push_back({begin, line});
        } else if (const QByteArray name = nameAfter(content, "END:"); !name.isEmpty()) {
            clean &= !open.empty() && open.back().name == name;
            if (!open.empty())
                open.pop_back();
            if (open.size() == 1 && blockBegin >= 0) {
                out.blocks.push_back({blockBegin, std::min(next, all.size()), name == "VTIMEZONE"});
                blockBegin = -1;
            }
        } else if (open.empty() && !content.isEmpty()) {
            clean = false; // a line outside any calendar
        }
        start = next;
    }
    endLogical();
    if (!clean || !open.empty() || !calendarSeen)
        out.blocks.clear();
    return out;
}

std::vector<TextPart> splitText(const QByteArray& text, const TextScan& scan, int parts)
{
    const std::vector<TextScan::Block>& blocks = scan.blocks;
    const auto n = qsizetype(blocks.size());
    std::vector<qsizetype> cuts{0}; // the first block of each part
    for (int k = 1; k < parts && n > 1; ++k) {
        const qsizetype at = text.size() * k / parts;
        const auto it = std::lower_bound(blocks.begin(), blocks.end(), at,
                                         [](const TextScan::Block& b, qsizetype v) { return b.begin < v; });
        const qsizetype i = it - blocks.begin();
        if (i > cuts.back() && i < n)
            cuts.push_back(i);
    }
    if (cuts.size() < 2)
        return {TextPart{text, 0, 0}};
    cuts.push_back(n);

    const QByteArrayView all(text);
    auto zones = [&](qsizetype from, qsizetype to, QByteArray& into) {
        int count = 0;
        for (qsizetype i = from; i < to; ++i) {
            if (blocks[std::size_t(i)].zone) {
                into += all.sliced(blocks[std::size_t(i)].begin,
                                   blocks[std::size_t(i)].end - blocks[std::size_t(i)].begin);
                ++count;
            }
        }
        return count;
    };
    const QByteArrayView header = all.first(blocks.front().begin);
    std::vector<TextPart> out;
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
        const qsizetype i = cuts[k];
        const qsizetype j = cuts[k + 1];
        TextPart part;
        const qsizetype from = blocks[std::size_t(i)].begin;
        const qsizetype to = j < n ? blocks[std::size_t(j)].begin : all.size();
        part.text.reserve(header.size() + (to - from) + 64);
        part.text += header;
        part.zones = zones(0, i, part.text);
        part.text += all.sliced(from, to - from);
        for (qsizetype b = i; b < j; ++b)
            (blocks[std::size_t(b)].zone ? part.zones : part.items) += 1;
        if (j < n) {
            part.zones += zones(j, n, part.text);
            part.text += "END:VCALENDAR\r\n";
        }
        out.push_back(std::move(part));
    }
    return out;
}

} // namespace vorn::ical::detail
