// A calendar sync against a local Radicale, timed from outside the sync: the first sync of N things with
// two steps each into an empty account, a sync with nothing changed, a sync with one change, a second
// home taking them all, and the same PUTs sent by curl alone over one connection (what the server itself
// takes). While each sync runs, a key press stand-in arrives every 10 ms; how long the main thread kept
// it waiting is the worst and the 99th percentile of those waits.
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

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace vorn;
using namespace vorn::test;

namespace {

using Clock = std::chrono::steady_clock;

// Times every event the main thread handles, so the longest stretch of work shows apart from the
// waits another busy program on the machine adds.
class TimedApp : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth > 0 || !m_recording)
            return QCoreApplication::notify(receiver, event);
        ++m_depth;
        const auto from = Clock::now();
        const int type = event->type(); // the event may be gone when it returns
        const char* to = receiver->metaObject()->className();
        const bool done = QCoreApplication::notify(receiver, event);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - from).count();
        --m_depth;
        if (ms > m_longest) {
            m_longest = ms;
            m_what = QStringLiteral("event %1 to %2").arg(type).arg(QLatin1String(to));
        }
        return done;
    }

    void record(bool on)
    {
        m_recording = on;
        if (on) {
            m_longest = 0;
            m_what.clear();
        }
    }
    double longest() const { return m_longest; }
    const QString& what() const { return m_what; }

private:
    int m_depth = 0;
    bool m_recording = false;
    double m_longest = 0;
    QString m_what;
};

// Stands in for key presses: another thread posts an event every 10 ms, as input arrives from the window
// system whatever the main thread is doing, and the main thread notes how long each one waited.
class KeyProbe : public QObject {
public:
    ~KeyProbe() override { stop(); }

    void start()
    {
        m_waits.clear();
        m_stop = false;
        m_thread = std::thread([this] {
            while (!m_stop) {
                QCoreApplication::postEvent(this, new Press(Clock::now()));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }

    void stop()
    {
        if (!m_thread.joinable())
            return;
        m_stop = true;
        m_thread.join();
        QCoreApplication::sendPostedEvents(this);
    }

    size_t count() const { return m_waits.size(); }
    // The wait at quantile q (1: the worst), in ms.
    double quantile(double q) const
    {
        if (m_waits.empty())
            return 0;
        std::vector<double> sorted = m_waits;
        std::sort(sorted.begin(), sorted.end());
        const auto at = size_t(std::min(double(sorted.size() - 1), q * double(sorted.size())));
        return sorted[at];
    }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != kPress)
            return QObject::event(e);
        const auto waited = Clock::now() - static_cast<Press*>(e)->at;
        m_waits.push_back(std::chrono::duration<double, std::milli>(waited).count());
        return true;
    }

private:
    static inline const auto kPress = QEvent::Type(QEvent::registerEventType());
    struct Press : QEvent {
        explicit Press(Clock::time_point t) : QEvent(kPress), at(t) {}
        Clock::time_point at;
    };
    std::vector<double> m_waits;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

struct Run {
    double ms = 0;
    SyncOutcome outcome;
    double worstWait = 0;
    double p99Wait = 0;
    size_t presses = 0;
    double longestEvent = 0;
    QString longestWhat;
};

Run timedSync(CalendarSync& sync)
{
    KeyProbe probe;
    QSignalSpy done(&sync, &CalendarSync::finished);
    QElapsedTimer t;
    auto* app = static_cast<TimedApp*>(QCoreApplication::instance());
    app->record(true);
    probe.start();
    t.start();
    sync.sync();
    done.wait(3'600'000);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    probe.stop();
    app->record(false);
    return {ms,          sync.lastOutcome(), probe.quantile(1), probe.quantile(0.99), probe.count(),
            app->longest(), app->what()};
}

void say(const char* what, const Run& r)
{
    std::printf("%-34s %9.1f ms  %6d requests  sent %d taken %d\n%34s key wait worst %.1f ms, p99 %.1f ms "
                "(%zu presses); longest event %.1f ms (%s)%s%s\n",
                what, r.ms, r.outcome.requests, r.outcome.sent, r.outcome.taken, "", r.worstWait, r.p99Wait,
                r.presses, r.longestEvent, qPrintable(r.longestWhat), r.outcome.ok ? "" : "  FAILED: ",
                r.outcome.ok ? "" : qPrintable(r.outcome.message));
    std::fflush(stdout);
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
    TimedApp app(argc, argv);
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

    // Another home on the same account takes everything in.
    ModelHarness otherHarness;
    std::unique_ptr<AppModel> other = otherHarness.start();
    CalendarSync::Init otherInit = init;
    otherInit.ledgerPath = otherHarness.dir.filePath(QStringLiteral("ledger.db"));
    std::unique_ptr<CalendarSync> otherSync = CalendarSync::make(*other, otherInit, &error);
    if (!otherSync) {
        std::fprintf(stderr, "sync_bench: %s\n", qPrintable(error));
        return 1;
    }
    say("a second home takes them all", timedSync(*otherSync));
    if (other->store().thingCount() != count)
        std::fprintf(stderr, "sync_bench: the second home holds %lld things\n", qint64(other->store().thingCount()));

    std::vector<CalendarResource> resources;
    for (const LedgerItem& i : sync->ledger().items())
        resources.push_back({i.uid, i.parent, i.base});
    const double curl = curlAlone(server, QStringLiteral("curl-alone"), resources);
    std::printf("%-34s %9.1f ms  %6zu requests\n", "the same PUTs by curl alone", curl, resources.size());
    return 0;
}
