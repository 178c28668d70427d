// window_bench: start-up, key-to-repaint and memory of the real main window, against a bare Qt
// window with a QListView of the same rows, measured the same way in the same run.
//
//   window_bench [--runs N] [--only CASE]   runs every case (or the one named) as fresh child
//                                 processes and prints a table
//   window_bench --seed N [--planner-title BYTES]   fills the store under $HOME with N things (and
//                                 the family file with a planner row for today with a title that long)
//   window_bench --child-bare N --stay   the bare window alone, open until it is killed, for
//                                 startup_probe to watch from outside
//
// Each child is a whole program start: the parent notes the monotonic clock just before starting it,
// the child prints the clock when its window has finished its first paint. Run it under a real
// display (or xvfb-run) for the figures that count; the offscreen platform works too.

#include "app/MainWindow.h"
#include "app/WindowStart.h"
#include "family/FamilyStore.h"
#include "model/AppModel.h"
#include "model/Launch.h"
#include "model/StartupTrace.h"
#include "pixel/VornFont.h"
#include "store/Records.h"
#include "store/Store.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"
#include "ui/main/MainView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QMainWindow>
#include <QProcess>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace vorn;

namespace {

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

QString title(int i)
{
    return QStringLiteral("Thing number %1, nothing special").arg(i);
}

// Calls `then` once `window` has been painted for the first time and that paint is done.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget* window, std::function<void()> then) : m_window(window), m_then(std::move(then))
    {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == m_window) {
            m_seen = true;
            // Runs after the paint that is under way and its flush to the window.
            QTimer::singleShot(0, this, [this] { m_then(); });
        }
        return false;
    }

private:
    QWidget* m_window;
    std::function<void()> m_then;
    bool m_seen = false;
};

// Counts paints of one widget, to time a key press up to the repaint it causes.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
    int count = 0;
};

void report(const QJsonObject& result)
{
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

// A store with `count` open things in Today, mirrored once into the family file, as a user's
// second start would find it; with `plannerTitle` > 0, also a planner row for today with a title of
// that many characters, which another program may write at any length.
int seed(int count, int plannerTitle)
{
    Launch launch = Launch::fromProcess();
    launch.useSessionBus = false;
    QString error;
    auto store = makeStore(launch, &error);
    if (!store) {
        std::fprintf(stderr, "seed: %s\n", qPrintable(error));
        return 1;
    }
    const QDateTime now = launch.now();
    for (int i = 0; i < count; ++i)
        store->insert(Thing::make(title(i), now.addSecs(-count + i)));
    if (!store->save(&error)) {
        std::fprintf(stderr, "seed: %s\n", qPrintable(error));
        return 1;
    }
    auto model = makeModel(launch, std::move(store));
    model->familySync().schedule();
    model->familySync().flush();
    if (plannerTitle > 0) {
        SharedThing row;
        row.id = QStringLiteral("bench-planner-1");
        row.title = QStringLiteral("a planner thing ").repeated(plannerTitle / 16 + 1).left(plannerTitle);
        row.day = model->todayISO();
        row.sourceApp = QStringLiteral("planner");
        FamilyStore(launch.familyStorePath()).upsert(row);
    }
    return 0;
}

int appChild(int& argc, char** argv, bool demo, int keys)
{
    QApplication qapp(argc, argv);
    VornFont::registerFont();
    Launch launch = Launch::fromProcess();
    launch.useSessionBus = false;
    if (demo)
        launch.arguments = {QStringLiteral("vorn-todo"), QStringLiteral("-demo")};
    QString error;
    auto app = openWindowApp(launch, &error);
    if (!app) {
        std::fprintf(stderr, "app: %s\n", qPrintable(error));
        return 1;
    }
    QJsonObject result;
    FirstPaint first(app->window.get(), [&] {
        result.insert(QStringLiteral("paintedAtNs"), double(monotonicNs()));
        QCoreApplication::exit(0);
    });
    app->window->show();
    QApplication::exec();
    QTest::qWait(200); // let the start-up's deferred work (sync, clock) run before measuring more

    ThingListView* list = app->window->mainView()->thingList()->view();
    result.insert(QStringLiteral("rows"), int(list->listModel()->rowIDs().size()));
    if (keys > 0 && list->listModel()->rowIDs().size() > 1) {
        list->setFocus();
        app->model->select(list->listModel()->rowIDs().front());
        QTest::qWait(50);
        PaintCounter paints(list->viewport());
        std::vector<double> ms;
        // Down to the last row and back up again, so every key moves the selection and repaints.
        const int last = int(list->listModel()->rowIDs().size()) - 1;
        int at = 0, step = 1;
        for (int i = 0; i < keys; ++i) {
            if (at + step < 0 || at + step > last)
                step = -step;
            at += step;
            const int before = paints.count;
            QElapsedTimer t;
            t.start();
            QTest::keyClick(list, step > 0 ? Qt::Key_Down : Qt::Key_Up);
            while (paints.count == before && t.elapsed() < 1000)
                QCoreApplication::processEvents();
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
            if (qEnvironmentVariableIsSet("WINDOW_BENCH_TRACE") && ms.back() > 5)
                std::fprintf(stderr, "key %d took %.1f ms\n", i, ms.back());
        }
        std::sort(ms.begin(), ms.end());
        result.insert(QStringLiteral("keyMedianMs"), ms[ms.size() / 2]);
        result.insert(QStringLiteral("keyMaxMs"), ms.back());
    }
    result.insert(QStringLiteral("rssKb"), double(residentKb()));
    report(result);
    app->window.reset();
    app->model.reset();
    return 0;
}

int bareChild(int& argc, char** argv, int rows, bool stay)
{
    traceStartup("bare: main");
    QApplication qapp(argc, argv);
    traceStartup("bare: QApplication");
    QStringList titles;
    titles.reserve(rows);
    for (int i = 0; i < rows; ++i)
        titles << title(i);
    QMainWindow window;
    auto* view = new QListView(&window);
    view->setModel(new QStringListModel(titles, view));
    window.setCentralWidget(view);
    window.resize(900, 600);
    if (stay) {
        // Watched from outside: nothing to report, and a SIGTERM is the way out.
        FirstPaint painted(&window, [] { traceStartup("bare: first paint"); });
        window.show();
        traceStartup("bare: shown");
        return QApplication::exec();
    }
    QJsonObject result;
    FirstPaint first(&window, [&] {
        result.insert(QStringLiteral("paintedAtNs"), double(monotonicNs()));
        QCoreApplication::exit(0);
    });
    window.show();
    QApplication::exec();
    QTest::qWait(200);
    result.insert(QStringLiteral("rows"), rows);
    result.insert(QStringLiteral("rssKb"), double(residentKb()));
    report(result);
    return 0;
}

struct Sample {
    double startMs = 0;
    QJsonObject result;
};

std::optional<Sample> runChild(const QStringList& args, const QString& home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "VORN_NOTES_DIR", "VORN_FAMILY_DB"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 started = monotonicNs();
    p.start(QCoreApplication::applicationFilePath(), args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return std::nullopt;
    const QByteArray line = p.readAllStandardOutput().trimmed().split('\n').last();
    Sample s;
    s.result = QJsonDocument::fromJson(line).object();
    s.startMs = (s.result.value(QStringLiteral("paintedAtNs")).toDouble() - double(started)) / 1e6;
    return s;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int parent(int runs, const QString& only)
{
    std::printf("platform: %s, %d runs per case, medians\n\n",
                qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? "default"
                                                               : qgetenv("QT_QPA_PLATFORM").constData(),
                runs);
    std::printf("%-10s %6s | %12s %12s %6s | %10s %10s | %10s %10s\n", "case", "rows", "app start",
                "bare start", "ratio", "app RSS", "bare RSS", "key med", "key max");
    struct Case {
        const char* name;
        int things;           // 0: the demo
        int plannerTitle = 0; // characters of a planner row's title in Today
        int keys = 0;         // Up and Down keys timed
    };
    for (const Case& c : {Case{"demo", 0}, Case{"1000", 1000}, Case{"10000", 10000, 0, 200},
                          Case{"1MB title", 10, 1 << 20, 20}, Case{"10MB title", 10, 10 << 20, 20}}) {
        if (!only.isEmpty() && only != QLatin1String(c.name))
            continue;
        QTemporaryDir home;
        QStringList appArgs{QStringLiteral("--child-app")};
        if (c.things == 0) {
            appArgs << QStringLiteral("--demo");
        } else {
            QProcess seeder;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("HOME"), home.path());
            seeder.setProcessEnvironment(env);
            seeder.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--seed"), QString::number(c.things),
                          QStringLiteral("--planner-title"), QString::number(c.plannerTitle)});
            if (!seeder.waitForFinished(300000) || seeder.exitCode() != 0) {
                std::fprintf(stderr, "seeding %d things failed\n", c.things);
                return 1;
            }
        }
        if (c.keys > 0)
            appArgs << QStringLiteral("--keys") << QString::number(c.keys);
        std::vector<double> app, bare, appRss, bareRss, keyMed, keyMax;
        int rows = 0;
        for (int i = 0; i < runs; ++i) {
            // Alternated, so both see the same machine state.
            const auto a = runChild(appArgs, home.path());
            if (!a)
                return 1;
            rows = a->result.value(QStringLiteral("rows")).toInt();
            const auto b = runChild({QStringLiteral("--child-bare"), QString::number(rows)}, home.path());
            if (!b)
                return 1;
            app.push_back(a->startMs);
            bare.push_back(b->startMs);
            appRss.push_back(a->result.value(QStringLiteral("rssKb")).toDouble() / 1024);
            bareRss.push_back(b->result.value(QStringLiteral("rssKb")).toDouble() / 1024);
            if (a->result.contains(QStringLiteral("keyMedianMs"))) {
                keyMed.push_back(a->result.value(QStringLiteral("keyMedianMs")).toDouble());
                keyMax.push_back(a->result.value(QStringLiteral("keyMaxMs")).toDouble());
            }
        }
        const double am = median(app), bm = median(bare);
        std::printf("%-10s %6d | %9.1f ms %9.1f ms %6.2f | %7.1f MB %7.1f MB |", c.name, rows, am, bm,
                    am / bm, median(appRss), median(bareRss));
        if (!keyMed.empty())
            std::printf(" %7.2f ms %7.2f ms\n", median(keyMed),
                        *std::max_element(keyMax.begin(), keyMax.end()));
        else
            std::printf(" %10s %10s\n", "-", "-");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const auto valueAfter = [&](const char* flag, int fallback) {
        const qsizetype at = args.indexOf(QString::fromLatin1(flag));
        return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
    };
    if (args.contains(QStringLiteral("--seed"))) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
        QCoreApplication::setApplicationName(QStringLiteral("vorn-todo"));
        return seed(valueAfter("--seed", 1000), valueAfter("--planner-title", 0));
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("vorn-todo"));
    if (args.contains(QStringLiteral("--child-app")))
        return appChild(argc, argv, args.contains(QStringLiteral("--demo")), valueAfter("--keys", 0));
    if (args.contains(QStringLiteral("--child-bare")))
        return bareChild(argc, argv, valueAfter("--child-bare", 0), args.contains(QStringLiteral("--stay")));
    QCoreApplication core(argc, argv);
    const qsizetype only = args.indexOf(QStringLiteral("--only"));
    return parent(valueAfter("--runs", 7), only >= 0 && only + 1 < args.size() ? args[only + 1] : QString());
}
