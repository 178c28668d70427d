// A calendar server's multistatus answer, as hostile as it likes. It must never crash or run away, and
// read in two pieces split anywhere, or a few tokens a call, it must give what it gives read whole: the
// answer arrives in whatever pieces the network makes of it, and is read a few milliseconds a turn.
#include "caldav/DavXml.h"

#include <cstddef>
#include <cstdint>

using namespace vorn::caldav;

namespace {

QStringList summary(const DavResult<Multistatus>& r)
{
    if (!r.ok())
        return {QString::number(int(r.error.kind))};
    QStringList out{r.value.syncToken};
    for (const DavResponse& d : r.value.responses) {
        out << d.href.toString() << QString::number(d.status) << d.etag << d.displayName << d.ctag
            << QString::fromUtf8(d.calendarData) << d.components.value_or(QStringList{}).join(u',')
            << d.currentUserPrincipal.toString();
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const QUrl base(QStringLiteral("https://cal.example/alice/cal/"));
    const QByteArray body(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    const qsizetype split = ((qsizetype(data[0]) << 8) | data[1]) % (body.size() + 1);

    MultistatusReader pieces(base);
    pieces.feed(body.left(split));
    pieces.feed(body.mid(split));
    const QStringList whole = summary(readMultistatus(base, body));
    if (summary(pieces.finish()) != whole)
        __builtin_trap();
    // With no time to spare: a few tokens a call, until it has read all it can.
    MultistatusReader hurried(base);
    const QDeadlineTimer none(0);
    hurried.feed(body.left(split), none);
    while (!hurried.caughtUp())
        hurried.more(none);
    hurried.feed(body.mid(split), none);
    hurried.lastPieceGiven();
    while (!hurried.caughtUp())
        hurried.more(none);
    if (summary(hurried.finish()) != whole)
        __builtin_trap();
    return 0;
}
