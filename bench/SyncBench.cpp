// A calendar sync against a local Radicale (or Xandikos), timed from outside the sync: the first sync of N
// things with two steps each into an empty account, a sync with nothing changed, a sync with one change, a
// second home taking them all; then the same requests sent alone over one keep-alive connection (what the
// server itself takes). While each sync runs, a key press stand-in arrives every 10 ms; how long the main
// thread kept it waiting is the worst and the 99th percentile of those waits.
//   sync_bench [N] [xandikos | prefilled]
// N defaults to 1000. "prefilled" writes the things into Radicale's storage first, for sizes whose first
// sync would take the server hours.
#include "caldav/DavXml.h"
#include "ical/CalendarTodo.h"
#include "model/AppModel.h"
#include "serversync/CalendarSync.h"
#include "serversync/ResourceText.h"
#include "serversync/SyncCopy.h"
#include "support/ModelHarness.h"
#include "support/RadicaleServer.h"
#include "support/XandikosServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
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
        // Network replies are read on a thread of Qt's own: only the main thread's events count.
        if (m_depth > 0 || !m_recording || QThread::currentThread() != thread())
            return QCoreApplication::notify(receiver, event);
        ++m_depth;
        const double cpuFrom = threadCpuMs();
        const auto from = Clock::now();
        const int type = event->type(); // the event may be gone when it returns
        const char* to = receiver->metaObject()->className();
        const bool done = QCoreApplication::notify(receiver, event);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - from).count();
        const double cpu = threadCpuMs() - cpuFrom;
        --m_depth;
        if (ms > m_longest) {
            m_longest = ms;
            m_what = QStringLiteral("%1 ms of it on the CPU; event %2 to %3")
                         .arg(cpu, 0, 'f', 1)
                         .arg(type)
                         .arg(QLatin1String(to));
        }
        m_longestCpu = std::max(m_longestCpu, cpu);
        return done;
    }

    void record(bool on)
    {
        m_recording = on;
        if (on) {
            m_longest = m_longestCpu = 0;
            m_what.clear();
        }
    }
    double longest() const { return m_longest; }
    double longestCpu() const { return m_longestCpu; }
    const QString& what() const { return m_what; }

private:
    static double threadCpuMs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }

    int m_depth = 0;
    double m_longestCpu = 0;
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
        explicit Press(Clock::time_point when) : QEvent(kPress), at(when) {}
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
    double longestCpu = 0;
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
    return {ms,
            sync.lastOutcome(),
            probe.quantile(1),
            probe.quantile(0.99),
            probe.count(),
            app->longest(),
            app->what(),
            app->longestCpu()};
}

void say(const char* what, const Run& r)
{
    std::printf("%-34s %9.1f ms  %6d requests  sent %d taken %d\n%34s key wait worst %.1f ms, p99 %.1f ms "
                "(%zu presses)\n%34s longest main-thread event %.1f ms (%s); most CPU in one %.1f ms%s%s\n",
                what, r.ms, r.outcome.requests, r.outcome.sent, r.outcome.taken, "", r.worstWait, r.p99Wait,
                r.presses, "", r.longestEvent, qPrintable(r.longestWhat), r.longestCpu,
                r.outcome.ok ? "" : "  FAILED: ", r.outcome.ok ? "" : qPrintable(r.outcome.message));
    std::fflush(stdout);
}

// Where the bench talks to: the account, and the calendar home for requests sent without the sync.
struct Endpoint {
    QString name;
    QUrl url;
    QString user;
    QString password;
    QString home; // path, with a trailing slash
};

// One request of a replay: its method, path, headers and body.
struct Request {
    QByteArray method;
    QString path;
    std::vector<std::pair<QString, QString>> headers;
    QByteArray body;
};

// The requests sent over one keep-alive connection by bench/server_alone.py, timed there: what the server
// itself takes for them. -1 when it couldn't run; `statuses` has how many answers had each status.
double serverAlone(const Endpoint& server, const std::vector<Request>& requests, QString* statuses = nullptr)
{
    QTemporaryDir dir;
    QJsonArray list;
    int n = 0;
    for (const Request& r : requests) {
        QJsonObject o;
        o[QStringLiteral("method")] = QString::fromLatin1(r.method);
        o[QStringLiteral("path")] = r.path;
        QJsonObject headers;
        for (const auto& [name, value] : r.headers)
            headers[name] = value;
        o[QStringLiteral("headers")] = headers;
        if (!r.body.isEmpty()) {
            const QString file = dir.filePath(QString::number(++n));
            QFile f(file);
            if (!f.open(QIODevice::WriteOnly))
                return -1;
            f.write(r.body);
            o[QStringLiteral("body")] = file;
        }
        list.append(o);
    }
    QFile listing(dir.filePath(QStringLiteral("requests.json")));
    if (!listing.open(QIODevice::WriteOnly))
        return -1;
    listing.write(QJsonDocument(list).toJson(QJsonDocument::Compact));
    listing.close();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(VORN_BENCH_DIR "/server_alone.py"), server.url.toString(), server.user,
                  server.password, listing.fileName()});
    python.waitForFinished(-1);
    const QJsonObject out = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    if (!out.contains(QStringLiteral("ms"))) {
        std::fprintf(stderr, "sync_bench: server_alone.py: %s\n", python.readAllStandardError().constData());
        return -1;
    }
    if (statuses)
        *statuses = QString::fromUtf8(
            QJsonDocument(out.value(QStringLiteral("statuses")).toObject()).toJson(QJsonDocument::Compact));
    return out.value(QStringLiteral("ms")).toDouble();
}

Request put(const QString& path, const QByteArray& text, bool fresh)
{
    Request r{"PUT",
              path,
              {{QStringLiteral("Content-Type"), QStringLiteral("text/calendar; charset=utf-8")}},
              text};
    if (fresh)
        r.headers.emplace_back(QStringLiteral("If-None-Match"), QStringLiteral("*"));
    return r;
}

Request listCollections(const Endpoint& server)
{
    using caldav::DavProp;
    return {"PROPFIND",
            server.home,
            {{QStringLiteral("Depth"), QStringLiteral("1")},
             {QStringLiteral("Content-Type"), QStringLiteral("application/xml; charset=utf-8")}},
            caldav::propfindBody({DavProp::ResourceType, DavProp::DisplayName, DavProp::SupportedComponents,
                                  DavProp::Ctag, DavProp::SyncToken})};
}

Request syncReport(const QString& collection, const QString& token)
{
    return {"REPORT",
            collection,
            {{QStringLiteral("Depth"), QStringLiteral("1")},
             {QStringLiteral("Content-Type"), QStringLiteral("application/xml; charset=utf-8")}},
            caldav::syncCollectionBody(token)};
}

void sayAlone(const char* what, double ms, size_t requests, const QString& statuses)
{
    std::printf("%-34s %9.1f ms  %6zu requests  %s\n", what, ms, requests, qPrintable(statuses));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    TimedApp app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const bool xandikos = argc > 2 && qstrcmp(argv[2], "xandikos") == 0;
    const bool prefilled = argc > 2 && qstrcmp(argv[2], "prefilled") == 0;
    std::unique_ptr<RadicaleServer> radicale;
    std::unique_ptr<XandikosServer> xandikosServer;
    Endpoint server;
    if (xandikos) {
        xandikosServer = std::make_unique<XandikosServer>();
        if (!xandikosServer->ready()) {
            std::fprintf(stderr, "sync_bench: %s\n", qPrintable(xandikosServer->problem()));
            return 1;
        }
        server = {xandikosServer->name(), xandikosServer->url(), xandikosServer->user(),
                  xandikosServer->password(), xandikosServer->homePath()};
    } else {
        radicale = std::make_unique<RadicaleServer>();
        if (!radicale->ready()) {
            std::fprintf(stderr, "sync_bench: %s\n", qPrintable(radicale->problem()));
            return 1;
        }
        server = {QStringLiteral("Radicale"), radicale->url(), radicale->user(), radicale->password(),
                  QStringLiteral("/alice/")};
    }
    ModelHarness harness;
    std::unique_ptr<AppModel> model = harness.start();
    for (int i = 0; i < count; ++i) {
        Thing* t = model->add(QStringLiteral("Thing number %1").arg(i), Source::today);
        model->addStep(*t, QStringLiteral("First step of %1").arg(i));
        model->addStep(*t, QStringLiteral("Second step of %1").arg(i));
    }
    QCoreApplication::processEvents();
    // Saved, as the app's own saves keep it: the sync's first save would hold the things made here.
    model->saveNow();
    CalendarSync::Init init;
    init.account.url = server.url;
    init.account.user = server.user;
    init.account.password = server.password;
    init.ledgerPath = harness.dir.filePath(QStringLiteral("ledger.db"));
    QString error;
    std::unique_ptr<CalendarSync> sync = CalendarSync::make(*model, init, &error);
    if (!sync) {
        std::fprintf(stderr, "sync_bench: %s\n", qPrintable(error));
        return 1;
    }
    // Our things as the sync writes them, one resource each.
    auto resourcesOf = [&](const AppModel& m) {
        std::vector<CalendarResource> out;
        for (const Thing* t : m.allThings()) {
            ical::CalendarThing copy = syncCopy(m, *t);
            copy.list.clear();
            for (CalendarResource& r : splitResources(ical::writeCalendar({copy}, m.clock().now())))
                out.push_back(std::move(r));
        }
        return out;
    };
    std::printf("%d things with 2 steps each (%d resources), %s on 127.0.0.1\n", count, count * 3,
                qPrintable(server.name));
    if (prefilled) {
        // Written into the server's storage behind its back: a first sync of this size costs the server
        // hours of PUTs. The sync then meets every thing there as one it sent before it lost its ledger.
        radicale->makeCollection(
            QStringLiteral("alice/vorn-todo"),
            R"({"C:supported-calendar-component-set": "VTODO", "D:displayname": "vorn todo", )"
            R"("tag": "VCALENDAR"})");
        for (const CalendarResource& r : resourcesOf(*model))
            radicale->writeItem(QStringLiteral("alice/vorn-todo/") + r.uid + QStringLiteral(".ics"), r.text);
        // Radicale reads new items into its cache at the first listing; longer than the sync waits for.
        serverAlone(server,
                    {listCollections(server), syncReport(server.home + QStringLiteral("vorn-todo/"), {})});
        say("first sync, all there already", timedSync(*sync));
    } else {
        say("first sync into an empty account", timedSync(*sync));
    }
    say("nothing changed", timedSync(*sync));
    Thing* renamed = model->allThings().front();
    model->rename(*renamed, QStringLiteral("Renamed"));
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
        std::fprintf(stderr, "sync_bench: the second home holds %lld things\n",
                     qint64(other->store().thingCount()));

    // The server alone, for the same requests.
    const QString collection = server.home + QStringLiteral("vorn-todo/");
    QString statuses;
    double ms = serverAlone(server, {listCollections(server)}, &statuses);
    sayAlone("server alone: nothing changed", ms, 1, statuses);
    const LedgerItem* row = sync->ledger().item(renamed->syncID());
    const LedgerCollection* known = sync->ledger().collection(collection.chopped(1));
    if (row && known) {
        ms = serverAlone(
            server,
            {listCollections(server), put(row->href, row->base, false), syncReport(collection, known->token)},
            &statuses);
        sayAlone("server alone: one change", ms, 3, statuses);
    }
    // The same PUTs as a first sync, into a collection of their own: empty, or as full as the sync's.
    const QString alone = server.home + QStringLiteral("alone/");
    serverAlone(server, {{"MKCALENDAR",
                          alone,
                          {{QStringLiteral("Content-Type"), QStringLiteral("application/xml")}},
                          caldav::mkcalendarBody(QStringLiteral("alone"))}});
    std::vector<Request> puts;
    for (const CalendarResource& r : resourcesOf(*model))
        puts.push_back(put(alone + r.uid + QStringLiteral(".ics"), r.text, true));
    if (prefilled) {
        // A sample of them into the full collection, each a new resource: the price of one PUT there.
        std::vector<Request> sample;
        for (size_t i = 0; i < std::min<size_t>(100, puts.size()); ++i) {
            Request r = puts[i];
            r.path = collection + QStringLiteral("more-") + QString::number(i) + QStringLiteral(".ics");
            r.body.replace("UID:", "UID:more-");
            sample.push_back(std::move(r));
        }
        ms = serverAlone(server, sample, &statuses);
        sayAlone("server alone: PUTs into the full one", ms, sample.size(), statuses);
    } else {
        ms = serverAlone(server, puts, &statuses);
        sayAlone("server alone: the first sync's PUTs", ms, puts.size(), statuses);
    }
    return 0;
}
