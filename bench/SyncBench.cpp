// A calendar sync against a local Radicale, timed from outside the sync: the first sync of N things with
// two steps each into an empty account, a sync with nothing changed, a sync with one change, and the same
// PUTs sent by curl alone over one connection (what the server itself takes).
//   sync_bench [N]      N defaults to 1000
#include "model/AppModel.h"
#include "serversync/CalendarSync.h"
#include "serversync/ResourceText.h"
#include "support/ModelHarness.h"
#include "support/RadicaleServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTextStream>

#include <cstdio>

using namespace vorn;
using namespace vorn::test;

namespace {

struct Run {
    double ms = 0;
    SyncOutcome outcome;
};

Run timedSync(CalendarSync& sync)
{
    QSignalSpy done(&sync, &CalendarSync::finished);
    QElapsedTimer t;
    t.start();
    sync.sync();
    done.wait(3'600'000);
    return {double(t.nsecsElapsed()) / 1e6, sync.lastOutcome()};
}

void say(const char* what, const Run& r)
{
    std::printf("%-34s %9.1f ms  %6d requests  sent %d taken %d%s%s\n", what, r.ms, r.outcome.requests,
                r.outcome.sent, r.outcome.taken,
                r.outcome.ok ? "" : "  FAILED: ", r.outcome.ok ? "" : qPrintable(r.outcome.message));
}

// The same resources, PUT by curl in one process over one connection.
double curlAlone(const RadicaleServer& server, const QString& collection,
                 const std::vector<CalendarResource>& items)
{
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("curl.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return -1;
    QTextStream out(&config);
    out << "silent\n";
    int n = 0;
    for (const CalendarResource& r : items) {
        const QString file = dir.filePath(QString::number(++n) + QStringLiteral(".ics"));
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return -1;
        f.write(r.text);
        // Each URL after "next" takes only the options given after it.
        out << "next\nuser = \"" << server.user() << ':' << server.password()
            << "\"\nheader = \"Content-Type: text/calendar\"\nheader = \"If-None-Match: *\"\noutput = "
               "\"/dev/null\"\nwrite-out = \"%{http_code}\\n\"\n"
            << "upload-file = \"" << file << "\"\nurl = \"" << server.url().toString() << "alice/"
            << collection << '/' << r.uid << ".ics\"\n";
    }
    out.flush();
    config.close();
    QProcess mk;
    // A calendar of to-dos like the sync's: a bare collection would skip the server's checks of each item.
    const QString body = QStringLiteral(
        "<?xml version=\"1.0\"?><C:mkcalendar xmlns:D=\"DAV:\" "
        "xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><D:set><D:prop>"
        "<D:displayname>curl</D:displayname><C:supported-calendar-component-set><C:comp name=\"VTODO\"/>"
        "</C:supported-calendar-component-set></D:prop></D:set></C:mkcalendar>");
    mk.start(QStringLiteral("curl"),
             {QStringLiteral("-s"), QStringLiteral("-X"), QStringLiteral("MKCALENDAR"), QStringLiteral("-u"),
              server.user() + u':' + server.password(), QStringLiteral("--data"), body,
              server.url().toString() + QStringLiteral("alice/") + collection + u'/'});
    mk.waitForFinished();
    QElapsedTimer t;
    t.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-K"), config.fileName()});
    curl.waitForFinished(3'600'000);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    const QByteArray codes = curl.readAllStandardOutput();
    const qsizetype created = codes.count("201");
    if (qEnvironmentVariableIsSet("SYNC_BENCH_CODES"))
        std::fprintf(stderr, "%s", codes.constData());
    if (created != qsizetype(items.size()))
        std::fprintf(stderr, "sync_bench: curl had %lld of %zu PUTs taken\n", qint64(created), items.size());
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    RadicaleServer server;
    if (!server.ready()) {
        std::fprintf(stderr, "sync_bench: %s\n", qPrintable(server.problem()));
        return 1;
    }
    ModelHarness harness;
    std::unique_ptr<AppModel> model = harness.start();
    for (int i = 0; i < count; ++i) {
        Thing* t = model->add(QStringLiteral("Thing number %1").arg(i), Source::today);
        model->addStep(*t, QStringLiteral("First step of %1").arg(i));
        model->addStep(*t, QStringLiteral("Second step of %1").arg(i));
    }
    CalendarSync::Init init;
    init.account.url = server.url();
    init.account.user = server.user();
    init.account.password = server.password();
    init.ledgerPath = harness.dir.filePath(QStringLiteral("ledger.db"));
    QString error;
    std::unique_ptr<CalendarSync> sync = CalendarSync::make(*model, init, &error);
    if (!sync) {
        std::fprintf(stderr, "sync_bench: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d things with 2 steps each (%d resources), Radicale on 127.0.0.1\n", count, count * 3);
    say("first sync into an empty account", timedSync(*sync));
    say("nothing changed", timedSync(*sync));
    model->rename(*model->allThings().front(), QStringLiteral("Renamed"));
    QCoreApplication::processEvents();
    say("one thing changed here", timedSync(*sync));

    std::vector<CalendarResource> resources;
    for (const LedgerItem& i : sync->ledger().items())
        resources.push_back({i.uid, i.parent, i.base});
    const double curl = curlAlone(server, QStringLiteral("curl-alone"), resources);
    std::printf("%-34s %9.1f ms  %6zu requests\n", "the same PUTs by curl alone", curl, resources.size());
    return 0;
}
