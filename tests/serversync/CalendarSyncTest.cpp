// Two homes and a phone on one account of a real server (Radicale, Xandikos): what one side does, the
// others see, and what both sides did survives.
#include "serversync/CalendarSync.h"
#include "model/AppModel.h"
#include "serversync/SyncLedger.h"
#include "store/Dates.h"
#include "support/CalendarServers.h"
#include "support/ModelHarness.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>

#include <ctime>

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

struct Home {
    Home(const TestCalendarServer& server, const QString& ledger = {})
    {
        model = harness.start();
        init.account.url = server.url();
        init.account.user = server.user();
        init.account.password = server.password();
        init.ledgerPath = ledger.isEmpty() ? harness.dir.filePath(QStringLiteral("ledger.db")) : ledger;
        startSync();
    }

    void startSync()
    {
        QString error;
        sync = CalendarSync::make(*model, init, &error);
        EXPECT_TRUE(sync) << error.toStdString();
    }

    // The same home started again, reading back what it kept in its files.
    void restart()
    {
        sync.reset();
        model.reset();
        model = harness.start();
        startSync();
    }

    SyncOutcome run()
    {
        QSignalSpy done(sync.get(), &CalendarSync::finished);
        sync->sync();
        EXPECT_TRUE(done.wait(60'000)) << "no end of the sync";
        EXPECT_TRUE(sync->lastOutcome().ok) << sync->lastOutcome().message.toStdString();
        return sync->lastOutcome();
    }

    Thing* titled(const QString& title) { return harness.thingTitled(*model, title); }

    QStringList titles()
    {
        QStringList out;
        for (const Thing* t : model->allThings()) {
            QString line = t->title() + (t->isDone() ? QStringLiteral(" [done]") : QString());
            if (t->pile())
                line += QStringLiteral(" in ") + t->pile()->name();
            for (const Step* s : t->orderedSteps())
                line += QStringLiteral(" / ") + s->title() +
                        (s->isDone() ? QStringLiteral(" [done]") : QString());
            out << line;
        }
        out.sort();
        return out;
    }

    ModelHarness harness;
    CalendarSync::Init init;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<CalendarSync> sync;
};

// What python3-caldav sees: one JSON object per to-do.
std::vector<QJsonObject> phone(const TestCalendarServer& server, QStringList args)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            QStringList{QStringLiteral(VORN_SERVERSYNC_TEST_DIR "/phone.py"), server.url().toString(),
                        server.user(), server.password()} +
                args);
    EXPECT_TRUE(p.waitForFinished(60'000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    std::vector<QJsonObject> out;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith('{'))
            out.push_back(QJsonDocument::fromJson(line).object());
    return out;
}

const QJsonObject* todo(const std::vector<QJsonObject>& all, const QString& summary)
{
    for (const QJsonObject& o : all)
        if (o.value(QStringLiteral("summary")).toString() == summary)
            return &o;
    return nullptr;
}

class CalendarSyncTest : public ::testing::TestWithParam<ServerKind> {
protected:
    void SetUp() override
    {
        if (!serverInstalled(GetParam()))
            GTEST_SKIP() << serverName(GetParam())
                         << " is not installed (scripts/ensure-packages installs it)";
        server = startServer(GetParam());
        ASSERT_TRUE(server->ready()) << server->problem().toStdString();
    }

    // Home A with a thing of each kind, synced once.
    void fill(Home& a)
    {
        AppModel& m = *a.model;
        Thing* call = m.add(QStringLiteral("Call mum"), Source::today);
        m.toggleStep(*m.addStep(*call, QStringLiteral("Find the number")));
        m.addStep(*call, QStringLiteral("Dial"));
        m.saveNote(call->id(), std::nullopt, QStringLiteral("Ring twice"));
        m.add(QStringLiteral("Taxes"), Source::later);
        m.toggleDone(*m.add(QStringLiteral("Old thing"), Source::today));
        Pile* groceries = m.createPile(QStringLiteral("Groceries"));
        m.add(QStringLiteral("Milk"), Source::pile(groceries->id()));
    }

    std::unique_ptr<TestCalendarServer> server;
};

TEST_P(CalendarSyncTest, aFirstSyncReachesTheSecondHomeAndThePhoneAndASecondSyncAsksOnce)
{
    Home a(*server);
    fill(a);
    const SyncOutcome first = a.run();
    EXPECT_EQ(first.sent, 4);

    const std::vector<QJsonObject> seen = phone(*server, {QStringLiteral("list")});
    ASSERT_EQ(seen.size(), 6u); // four things and two steps, each a to-do of its own
    const QJsonObject* call = todo(seen, QStringLiteral("Call mum"));
    const QJsonObject* number = todo(seen, QStringLiteral("Find the number"));
    ASSERT_TRUE(call && number && todo(seen, QStringLiteral("Milk")));
    EXPECT_EQ(number->value(QStringLiteral("parent")), call->value(QStringLiteral("uid")));
    EXPECT_EQ(number->value(QStringLiteral("status")).toString(), QStringLiteral("COMPLETED"));
    EXPECT_EQ(call->value(QStringLiteral("description")).toString(), QStringLiteral("Ring twice"));
    EXPECT_EQ(todo(seen, QStringLiteral("Milk"))->value(QStringLiteral("calendar")).toString(),
              QStringLiteral("Groceries"));
    EXPECT_EQ(todo(seen, QStringLiteral("Old thing"))->value(QStringLiteral("status")).toString(),
              QStringLiteral("COMPLETED"));

    Home b(*server);
    EXPECT_EQ(b.run().taken, 4);
    EXPECT_EQ(b.titles(), a.titles());
    EXPECT_EQ(b.titled(QStringLiteral("Call mum"))->note(), QStringLiteral("Ring twice"));
    EXPECT_EQ(b.titled(QStringLiteral("Taxes"))->snoozedUntil(),
              a.titled(QStringLiteral("Taxes"))->snoozedUntil());

    // Nothing changed anywhere: one request, nothing sent, nothing taken. B's first sync left A nothing new.
    const SyncOutcome again = a.run();
    EXPECT_EQ(again.requests, 1);
    EXPECT_EQ(again.sent + again.taken + again.deleted, 0);
}

TEST_P(CalendarSyncTest, editsOnAllSidesMeetFieldByFieldAndTheLaterTitleWins)
{
    Home a(*server);
    fill(a);
    a.run();
    Home b(*server);
    b.harness.clock->advance(3600); // B's edits come an hour after A's
    b.run();

    a.model->rename(*a.titled(QStringLiteral("Milk")), QStringLiteral("Oat milk"));
    b.model->saveNote(b.titled(QStringLiteral("Milk"))->id(), std::nullopt,
                      QStringLiteral("The barista kind"));
    a.model->rename(*a.titled(QStringLiteral("Taxes")), QStringLiteral("Taxes 2026"));
    b.model->rename(*b.titled(QStringLiteral("Taxes")), QStringLiteral("Do the taxes"));
    b.model->toggleStep(*b.titled(QStringLiteral("Call mum"))->orderedSteps()[1]);
    const std::vector<QJsonObject> seen = phone(*server, {QStringLiteral("list")});
    phone(*server, {QStringLiteral("set"),
                    todo(seen, QStringLiteral("Old thing"))->value(QStringLiteral("uid")).toString(),
                    QStringLiteral("STATUS"), QStringLiteral("NEEDS-ACTION")});
    phone(*server, {QStringLiteral("add"), QStringLiteral("Groceries"), QStringLiteral("Pack"),
                    QStringLiteral("Passport")});

    a.run();
    b.run();
    a.run();
    const QStringList expected{QStringLiteral("Call mum / Find the number [done] / Dial [done]"),
                               QStringLiteral("Do the taxes"), QStringLiteral("Oat milk in Groceries"),
                               QStringLiteral("Old thing"), QStringLiteral("Pack in Groceries / Passport")};
    EXPECT_EQ(a.titles(), expected);
    EXPECT_EQ(b.titles(), expected);
    for (Home* h : {&a, &b}) {
        ASSERT_TRUE(h->titled(QStringLiteral("Oat milk")) && h->titled(QStringLiteral("Do the taxes")));
        EXPECT_EQ(h->titled(QStringLiteral("Oat milk"))->note(), QStringLiteral("The barista kind"));
        EXPECT_TRUE(h->titled(QStringLiteral("Do the taxes"))
                        ->note()
                        .contains(QStringLiteral("Also titled: Taxes 2026")));
    }
    // The phone sees the step ticked here as its subtask done.
    const std::vector<QJsonObject> after = phone(*server, {QStringLiteral("list")});
    EXPECT_EQ(todo(after, QStringLiteral("Dial"))->value(QStringLiteral("status")).toString(),
              QStringLiteral("COMPLETED"));
    EXPECT_EQ(after.size(), 8u);
}

TEST_P(CalendarSyncTest, anEditOutlivesADeleteOnTheOtherSide)
{
    Home a(*server);
    fill(a);
    a.run();
    Home b(*server);
    b.run();
    a.model->remove({RowID::thing(a.titled(QStringLiteral("Old thing"))->id())}, std::nullopt);
    b.model->rename(*b.titled(QStringLiteral("Old thing")), QStringLiteral("Old but gold"));
    b.model->remove({RowID::thing(b.titled(QStringLiteral("Milk"))->id())}, std::nullopt);
    a.model->toggleDone(*a.titled(QStringLiteral("Milk")));

    a.run(); // deletes "Old thing" there
    b.run(); // its edit comes back; its delete of the milk meets the tick
    a.run();
    for (Home* h : {&a, &b}) {
        EXPECT_TRUE(h->titled(QStringLiteral("Old but gold")));
        ASSERT_TRUE(h->titled(QStringLiteral("Milk")));
        EXPECT_TRUE(h->titled(QStringLiteral("Milk"))->isDone());
    }
    EXPECT_EQ(phone(*server, {QStringLiteral("list")}).size(), 6u);
}

TEST_P(CalendarSyncTest, aSyncThatForgotWhatItSentMakesNothingTwice)
{
    QTemporaryDir ledgers;
    Home a(*server, ledgers.filePath(QStringLiteral("first.db")));
    fill(a);
    a.run();
    a.harness.clock->advance(60);
    a.model->rename(*a.titled(QStringLiteral("Milk")), QStringLiteral("More milk"));
    // As after a kill between the PUTs and the ledger's write: the server has it all, the ledger nothing.
    a.init.ledgerPath = ledgers.filePath(QStringLiteral("second.db"));
    a.startSync();
    a.run();
    EXPECT_EQ(a.model->allThings().size(), 4u);
    const std::vector<QJsonObject> seen = phone(*server, {QStringLiteral("list")});
    EXPECT_EQ(seen.size(), 6u);
    EXPECT_TRUE(todo(seen, QStringLiteral("More milk")));
}

TEST_P(CalendarSyncTest, aRestartFindsNothingToSend)
{
    Home a(*server);
    fill(a);
    a.run();
    phone(*server, {QStringLiteral("add"), QStringLiteral("Groceries"), QStringLiteral("Pack"),
                    QStringLiteral("Passport")});
    EXPECT_EQ(a.run().taken, 1);
    // What it reads back from its files is what it agreed on.
    a.restart();
    const SyncOutcome again = a.run();
    EXPECT_EQ(again.sent + again.taken + again.deleted, 0);
}

TEST_P(CalendarSyncTest, theLaterOfTwoTitlesWinsAlsoWhenTheSyncNeverHeardOfTheEdit)
{
    // A restart between the edit and its sync: what the store kept of when it changed decides.
    struct Case {
        int aAt, bAt; // seconds on each home's clock
        const char* kept;
        const char* alsoTitled;
    };
    for (const Case& c : {Case{120, 60, "Taxes, A", "Taxes, B"}, Case{60, 120, "Taxes, B", "Taxes, A"}}) {
        SCOPED_TRACE(c.kept);
        server = startServer(GetParam());
        ASSERT_TRUE(server->ready()) << server->problem().toStdString();
        Home a(*server);
        fill(a);
        a.run();
        Home b(*server);
        b.run();
        a.harness.clock->advance(c.aAt);
        a.model->rename(*a.titled(QStringLiteral("Taxes")), QStringLiteral("Taxes, A"));
        b.harness.clock->advance(c.bAt);
        b.model->rename(*b.titled(QStringLiteral("Taxes")), QStringLiteral("Taxes, B"));
        b.run();
        a.restart();
        a.run();
        b.run();
        for (Home* h : {&a, &b}) {
            const Thing* t = h->titled(QString::fromUtf8(c.kept));
            ASSERT_TRUE(t);
            EXPECT_TRUE(t->note().contains(QString::fromUtf8(c.alsoTitled))) << t->note().toStdString();
        }
    }
}

TEST_P(CalendarSyncTest, aSyncKilledWhileTakingThingsInNeitherDeletesNorMakesThemAgain)
{
    Home a(*server);
    Pile* groceries = a.model->createPile(QStringLiteral("Groceries"));
    for (const char* title : {"At rest", "Deleted there", "Never got here", "Renamed here"})
        a.model->add(QString::fromUtf8(title), Source::pile(groceries->id()));
    a.model->addStep(*a.titled(QStringLiteral("At rest")), QStringLiteral("Its step"));
    a.run();
    Home b(*server);
    b.run();

    // As a kill leaves it: every row written down as taking, and the store holding the thing or not yet
    // (the one "never got here"); one of them edited since.
    b.sync.reset();
    b.harness.clock->advance(60);
    b.model->rename(*b.titled(QStringLiteral("Renamed here")), QStringLiteral("Renamed, kept"));
    b.model->remove({RowID::thing(b.titled(QStringLiteral("Never got here"))->id())}, std::nullopt);
    ASSERT_TRUE(b.model->saveNow());
    {
        QString error;
        auto ledger = SyncLedger::open(
            b.init.ledgerPath,
            server->user() + u'@' + server->url().adjusted(QUrl::RemoveUserInfo).toString(QUrl::FullyEncoded),
            &error);
        ASSERT_TRUE(ledger) << error.toStdString();
        ASSERT_EQ(ledger->items().size(), 5u);
        for (LedgerItem row : ledger->items()) {
            row.taking = true;
            row.fingerprint.clear();
            ledger->setItem(row);
        }
        ASSERT_TRUE(ledger->commit(&error)) << error.toStdString();
    }
    a.model->remove({RowID::thing(a.titled(QStringLiteral("Deleted there"))->id()),
                     RowID::thing(a.titled(QStringLiteral("Renamed here"))->id())},
                    std::nullopt);
    a.run();

    b.restart();
    const SyncOutcome after = b.run();
    EXPECT_EQ(after.taken, 1);   // "never got here", not deleted there
    EXPECT_EQ(after.deleted, 1); // "deleted there", not made here
    EXPECT_EQ(after.sent, 1);    // the edit outlives the delete; the thing at rest stays at rest
    a.run();
    const QStringList both{QStringLiteral("At rest in Groceries / Its step"),
                           QStringLiteral("Never got here in Groceries"),
                           QStringLiteral("Renamed, kept in Groceries")};
    EXPECT_EQ(b.titles(), both);
    EXPECT_EQ(a.titles(), both);
    EXPECT_EQ(phone(*server, {QStringLiteral("list")}).size(), 4u);
}

TEST_P(CalendarSyncTest, aTokenTheServerNoLongerKnowsListsEverythingAndMakesNothingTwice)
{
    Home a(*server);
    fill(a);
    a.run();
    phone(*server, {QStringLiteral("add"), QStringLiteral("Groceries"), QStringLiteral("Pack"),
                    QStringLiteral("Passport")});
    a.model->rename(*a.titled(QStringLiteral("Taxes")), QStringLiteral("Taxes 2026"));
    // As after the collection was made again, or the server restored from a backup: tokens it never gave.
    for (LedgerCollection c : std::vector<LedgerCollection>(a.sync->ledger().collections())) {
        c.token = QStringLiteral("0123456789abcdef0123456789abcdef01234567");
        a.sync->ledger().setCollection(c);
    }
    const SyncOutcome out = a.run();
    EXPECT_EQ(out.sent, 1);
    EXPECT_EQ(out.taken, 1);
    EXPECT_EQ(a.model->allThings().size(), 5u);
    EXPECT_EQ(phone(*server, {QStringLiteral("list")}).size(), 8u);
    EXPECT_EQ(a.run().requests, 1) << "the token it took is one the server knows";
}

// The CPU time the main thread spends between two turns of its event loop, at most: how long a key
// press could wait for the sync.
class LongestTurn : public QObject {
public:
    LongestTurn()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double now = cpuMs();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_last = cpuMs();
        m_timer.start(1);
    }
    double longest() const { return m_longest; }

private:
    static double cpuMs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }
    QTimer m_timer;
    double m_last = 0;
    double m_longest = 0;
};

// Moves between lists meet edits on the other home: each side's change of its own field is kept.
TEST_P(CalendarSyncTest, aThingMovedTwiceOnOneHomeAndRenamedOnTheOtherKeepsBoth)
{
    Home a(*server);
    Home b(*server);
    Pile* work = a.model->createPile(QStringLiteral("Work"));
    Pile* errands = a.model->createPile(QStringLiteral("Errands"));
    Thing* t = a.model->add(QStringLiteral("Report"), Source::pile(work->id()));
    a.run();
    b.run();
    ASSERT_EQ(b.titles(), QStringList{QStringLiteral("Report in Work")});

    t->setPile(errands);
    a.run(); // midway: the move reaches the server
    a.model->leavePile(*t);
    b.model->rename(*b.titled(QStringLiteral("Report")), QStringLiteral("Report, final"));
    for (int i = 0; i < 2; ++i) {
        a.run();
        b.run();
    }
    EXPECT_EQ(a.titles(), QStringList{QStringLiteral("Report, final")});
    EXPECT_EQ(b.titles(), QStringList{QStringLiteral("Report, final")});
    EXPECT_EQ(phone(*server, {QStringLiteral("list")}).size(), 1u);
}

// One home moves a thing to another list while the other moves it too, or edits it where it was. A's
// changes are the later ones, so a field both changed is A's; what B alone changed stays B's, and the
// server ends with one copy of each, in the list that won. Each case is a thing of its own, all in the
// same syncs.
TEST_P(CalendarSyncTest, movesOnBothHomesKeepEachSidesChangeAndOneCopy)
{
    struct Case {
        const char* title;
        const char* aTo; // A's move
        const char* bTo; // B's move; empty: B leaves it in Today
        bool bTicks;     // B ticks its step
        const char* bRenames;
        const char* expected;
    };
    const Case cases[] = {
        // Both to the same list, a step ticked on one: the tick was lost to the later side's copy.
        {"Report", "Errands", "Errands", true, "", "Report in Errands / Draft [done]"},
        // Moved on one, renamed where it was on the other: the rename went back there as a second copy.
        {"Invoice", "Errands", "", false, "Invoice, final", "Invoice, final in Errands / Draft"},
        // To two lists: the later move wins, and the copy in the other goes.
        {"Slides", "Work", "Errands", true, "", "Slides in Work / Draft [done]"},
    };
    Home a(*server);
    Home b(*server);
    a.model->createPile(QStringLiteral("Errands"));
    a.model->createPile(QStringLiteral("Work"));
    for (const Case& c : cases)
        a.model->addStep(*a.model->add(QLatin1String(c.title), Source::today), QStringLiteral("Draft"));
    a.run();
    b.run();
    a.harness.clock->advance(3600);
    const auto pileOf = [](Home& h, const char* name) {
        for (Pile* p : h.model->piles())
            if (p->name() == QLatin1String(name))
                return p;
        return static_cast<Pile*>(nullptr);
    };
    QStringList expected;
    for (const Case& c : cases) {
        a.titled(QLatin1String(c.title))->setPile(pileOf(a, c.aTo));
        Thing* theirs = b.titled(QLatin1String(c.title));
        ASSERT_TRUE(theirs);
        if (*c.bTo)
            theirs->setPile(pileOf(b, c.bTo));
        if (c.bTicks)
            b.model->toggleStep(*theirs->orderedSteps().front());
        if (*c.bRenames)
            b.model->rename(*theirs, QLatin1String(c.bRenames));
        expected << QLatin1String(c.expected);
    }
    expected.sort();
    a.run();
    b.run();
    a.run();
    EXPECT_EQ(a.titles(), expected);
    EXPECT_EQ(b.titles(), expected);
    EXPECT_EQ(phone(*server, {QStringLiteral("list")}).size(), 2 * std::size(cases))
        << "each thing and its step, once";
}

// A move stopped between its two writes (here by a collection that refuses them) leaves the thing on the
// server, and the next syncs of both homes end with one copy holding both homes' edits: the mover's tick
// and move, the other home's rename where it was. Shut where it goes, the move once deleted the only copy.
TEST_P(CalendarSyncTest, aMoveStoppedBetweenItsTwoWritesKeepsTheThingAndBothHomesEdits)
{
    if (!dynamic_cast<RadicaleServer*>(server.get()))
        GTEST_SKIP() << "shuts a collection with Radicale's rights";
    for (const char* shut : {"Errands", "Work"}) {
        SCOPED_TRACE(std::string("shut: ") + shut);
        server = startServer(GetParam());
        ASSERT_TRUE(server->ready()) << server->problem().toStdString();
        auto* radicale = dynamic_cast<RadicaleServer*>(server.get());
        Home a(*server);
        Home b(*server);
        Pile* work = a.model->createPile(QStringLiteral("Work"));
        Pile* errands = a.model->createPile(QStringLiteral("Errands"));
        Thing* report = a.model->add(QStringLiteral("Report"), Source::pile(work->id()));
        a.model->addStep(*report, QStringLiteral("Draft"));
        a.run();
        b.run();

        b.model->rename(*b.titled(QStringLiteral("Report")), QStringLiteral("Report, final"));
        a.model->toggleStep(*report->orderedSteps().front());
        report->setPile(errands);
        const LedgerCollection* c =
            a.sync->ledger().collectionOfPile((QLatin1String(shut) == u"Work" ? work : errands)->id().number);
        ASSERT_TRUE(c);
        radicale->shut(c->href.mid(1));
        QSignalSpy stopped(a.sync.get(), &CalendarSync::finished);
        a.sync->sync();
        ASSERT_TRUE(stopped.wait(60'000));
        EXPECT_FALSE(a.sync->lastOutcome().ok) << "a write was refused";
        EXPECT_TRUE(todo(phone(*server, {QStringLiteral("list")}), QStringLiteral("Report")))
            << "the thing is on the server";

        radicale->shut(QString());
        for (int i = 0; i < 2; ++i) {
            b.run();
            a.run();
        }
        const QStringList expected{QStringLiteral("Report, final in Errands / Draft [done]")};
        EXPECT_EQ(a.titles(), expected);
        EXPECT_EQ(b.titles(), expected);
        EXPECT_EQ(phone(*server, {QStringLiteral("list")}).size(), 2u) << "the thing and its step, once";
    }
}

// A step added on one home to a thing the other moves to another list before it heard of the step: the
// move's DELETE of the copy left behind (its If-Match the thing's resource) doesn't see the step, which
// then followed the thing nowhere and was deleted as left without it.
TEST_P(CalendarSyncTest, aStepAddedWhereAThingWasFollowsItsMove)
{
    Home a(*server);
    Home b(*server);
    Pile* work = a.model->createPile(QStringLiteral("Work"));
    a.model->addStep(*a.model->add(QStringLiteral("Report"), Source::pile(work->id())),
                     QStringLiteral("Draft"));
    a.run();
    b.run();
    a.model->addStep(*a.titled(QStringLiteral("Report")), QStringLiteral("Proof"));
    a.run();
    b.model->leavePile(*b.titled(QStringLiteral("Report")));
    for (int i = 0; i < 2; ++i) {
        b.run();
        a.run();
    }
    const QStringList expected{QStringLiteral("Report / Draft / Proof")};
    EXPECT_EQ(a.titles(), expected);
    EXPECT_EQ(b.titles(), expected);
    EXPECT_EQ(phone(*server, {QStringLiteral("list")}).size(), 3u);
}

// The same step, added while the move waits for its write where it goes (that list's collection
// refused it): the step met where the thing is leaving is the other home's edit of the copy left there,
// and goes with the thing, rather than being deleted with that copy.
TEST_P(CalendarSyncTest, aStepAddedWhereAThingIsLeavingFollowsItsMove)
{
    auto* radicale = dynamic_cast<RadicaleServer*>(server.get());
    if (!radicale)
        GTEST_SKIP() << "shuts a collection with Radicale's rights";
    Home a(*server);
    Home b(*server);
    Pile* work = a.model->createPile(QStringLiteral("Work"));
    a.model->add(QStringLiteral("Report"), Source::today);
    a.run();
    b.run();
    Thing* report = a.titled(QStringLiteral("Report"));
    a.model->rename(*report, QStringLiteral("Report, final"));
    report->setPile(work);
    radicale->shut(a.sync->ledger().collectionOfPile(work->id().number)->href.mid(1));
    QSignalSpy stopped(a.sync.get(), &CalendarSync::finished);
    a.sync->sync();
    ASSERT_TRUE(stopped.wait(60'000));
    EXPECT_FALSE(a.sync->lastOutcome().ok) << "the write where it goes was refused";
    radicale->shut(QString());
    b.model->addStep(*b.titled(QStringLiteral("Report")), QStringLiteral("Draft"));
    b.run();
    for (int i = 0; i < 2; ++i) {
        a.run();
        b.run();
    }
    const QStringList expected{QStringLiteral("Report, final in Work / Draft")};
    EXPECT_EQ(a.titles(), expected);
    EXPECT_EQ(b.titles(), expected);
    EXPECT_EQ(phone(*server, {QStringLiteral("list")}).size(), 2u) << "the thing and its step, once";
}

TEST_P(CalendarSyncTest, takingInManyThingsNeverHoldsTheMainThreadLong)
{
    // Filled behind the server's back, which only Radicale's storage allows.
    auto* radicale = dynamic_cast<RadicaleServer*>(server.get());
    if (!radicale)
        GTEST_SKIP() << "fills Radicale's storage directly";
    // Written into the server's storage, as another program's to-dos: 300 things with a step each.
    const int count = 300;
    radicale->makeCollection(
        QStringLiteral("alice/vorn-todo"),
        R"({"C:supported-calendar-component-set": "VTODO", "D:displayname": "vorn todo", )"
        R"("tag": "VCALENDAR"})");
    auto item = [](const QString& uid, const QString& summary, const QString& parent) {
        return (QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//elsewhere//EN\r\nBEGIN:VTODO\r\n"
                               "UID:%1\r\nDTSTAMP:20260101T090000Z\r\nSUMMARY:%2\r\n")
                    .arg(uid, summary) +
                (parent.isEmpty() ? QString()
                                  : QStringLiteral("RELATED-TO;RELTYPE=PARENT:%1\r\n").arg(parent)) +
                QStringLiteral("END:VTODO\r\nEND:VCALENDAR\r\n"))
            .toUtf8();
    };
    for (int i = 0; i < count; ++i) {
        const QString uid = QStringLiteral("thing-%1").arg(i);
        radicale->writeItem(QStringLiteral("alice/vorn-todo/%1.ics").arg(uid),
                            item(uid, QStringLiteral("Thing %1").arg(i), {}));
        radicale->writeItem(QStringLiteral("alice/vorn-todo/%1-step.ics").arg(uid),
                            item(uid + QStringLiteral("-step"), QStringLiteral("Step of %1").arg(i), uid));
    }
    Home b(*server);
    LongestTurn turns;
    const SyncOutcome outcome = b.run();

    EXPECT_EQ(outcome.taken, count);
    ASSERT_EQ(b.model->allThings().size(), size_t(count));
    EXPECT_EQ(b.titles().front(), QStringLiteral("Thing 0 / Step of 0"));
    // Reading 600 items and taking 300 things in one go holds it for hundreds of ms, even in Release;
    // so does reading a multistatus's last slice, or a whole short one, in the turn its reply ends.
    // Read in turns, the longest is 15-20 ms here (with the sanitizers, a few ms without).
    EXPECT_LT(turns.longest(), 40.0);
}

INSTANTIATE_TEST_SUITE_P(On, CalendarSyncTest, ::testing::Values(ServerKind::Radicale, ServerKind::Xandikos),
                         serverParamName);
} // namespace
