// startup_probe: when a program's window shows its first pixels, seen from the X server rather than
// from inside the program, so the program needs no hooks and every program is timed the same way.
//
//   startup_probe [--quiet MS] [--timeout MS] [--min-size WxH] [--compare PREFIX [--ignore x,y,w,h]]
//                 [--window-damage] -- PROGRAM ARGS...
//
// Prints one JSON line; times are ms since just before fork/exec:
//   map    the MapNotify of the program's top-level window (the first mapped, not override-redirect
//          child of the root at least --min-size big whose _NET_WM_PID, when set, is the child's)
//   first  the first damage inside that window's area after its map
//   last   the last damage inside it before --quiet ms (default 1000) without any, or before --timeout
//   rssKb  the child's VmRSS once it went quiet, just before it gets SIGTERM
// --compare grabs the window when damage has been quiet for 100 ms after the first (the first frame)
// and again 2 s after the map, writes PREFIX-first.png and PREFIX-2s.png and counts the pixels that
// differ, leaving out the --ignore rectangle (window coordinates).
// --window-damage also watches each new top-level through a damage object of its own, made when the
// window is created, and reports its first damage and count next to the root's. On Xvfb the two see the
// same drawing at the same moment, into the window and into its children, but the window's own object
// also reports its whole area at the map, when nothing has been drawn yet: that is why `first` comes
// from the root's. STARTUP_PROBE_TRACE=1 prints every map and damage event on stderr.

#include <QImage>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <vector>

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool intersects(const Rect& o) const
    {
        return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h;
    }
    bool contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

struct Options {
    int quietMs = 1000;
    int timeoutMs = 30000;
    int minW = 300, minH = 200;
    std::string comparePrefix; // empty: no grabs
    std::optional<Rect> ignore;
    bool windowDamage = false;
    std::vector<char*> argv;
};

[[noreturn]] void usage(const char* why)
{
    std::fprintf(stderr,
                 "startup_probe: %s\nusage: startup_probe [--quiet MS] [--timeout MS] [--min-size WxH] "
                 "[--compare PREFIX [--ignore x,y,w,h]] [--window-damage] -- PROGRAM ARGS...\n",
                 why);
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    int i = 1;
    const auto value = [&](const char* flag) -> const char* {
        if (i + 1 >= argc)
            usage((std::string(flag) + " needs a value").c_str());
        return argv[++i];
    };
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a == "--quiet")
            o.quietMs = std::atoi(value("--quiet"));
        else if (a == "--timeout")
            o.timeoutMs = std::atoi(value("--timeout"));
        else if (a == "--min-size") {
            if (std::sscanf(value("--min-size"), "%dx%d", &o.minW, &o.minH) != 2)
                usage("--min-size wants WxH");
        } else if (a == "--compare")
            o.comparePrefix = value("--compare");
        else if (a == "--ignore") {
            Rect r;
            if (std::sscanf(value("--ignore"), "%d,%d,%d,%d", &r.x, &r.y, &r.w, &r.h) != 4)
                usage("--ignore wants x,y,w,h");
            o.ignore = r;
        } else if (a == "--window-damage")
            o.windowDamage = true;
        else
            usage(("unknown option " + a).c_str());
    }
    for (; i < argc; ++i)
        o.argv.push_back(argv[i]);
    if (o.argv.empty())
        usage("no program given after --");
    o.argv.push_back(nullptr);
    return o;
}

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> owned(T* p)
{
    return Reply<T>(p, &std::free);
}

long residentKb(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kb = std::strtol(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return kb;
}

class Probe {
public:
    Probe(xcb_connection_t* c, const Options& o) : m_c(c), m_o(o)
    {
        m_trace = std::getenv("STARTUP_PROBE_TRACE") != nullptr;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        m_pidAtom = internAtom("_NET_WM_PID");
    }

    // Everything the measurement relies on is in place before the program exists, so none of its
    // windows can be mapped or drawn into unseen.
    bool watchRoot()
    {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(m_c, &xcb_damage_id);
        if (!ext || !ext->present) {
            std::fprintf(stderr, "startup_probe: the X server has no DAMAGE extension\n");
            return false;
        }
        m_damageEvent = ext->first_event + XCB_DAMAGE_NOTIFY;
        // The server ignores damage requests from a client that has not announced its version.
        owned(xcb_damage_query_version_reply(m_c, xcb_damage_query_version(m_c, 1, 1), nullptr));
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        m_rootDamage = xcb_generate_id(m_c);
        xcb_damage_create(m_c, m_rootDamage, m_root, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        // A round trip, so the server has taken both before the program starts.
        owned(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
        return !xcb_connection_has_error(m_c);
    }

    int run()
    {
        m_start = nowMs();
        m_child = fork();
        if (m_child < 0) {
            std::perror("startup_probe: fork");
            return 1;
        }
        if (m_child == 0) {
            // Our stdout is the report; the program's own output goes with its errors.
            dup2(STDERR_FILENO, STDOUT_FILENO);
            execvp(m_o.argv[0], m_o.argv.data());
            std::fprintf(stderr, "startup_probe: can't run %s: %s\n", m_o.argv[0], std::strerror(errno));
            _exit(127);
        }
        const int pidfd = int(syscall(SYS_pidfd_open, m_child, 0));
        bool exited = false;
        while (!m_done) {
            const double t = nowMs() - m_start;
            checkDeadlines(t);
            if (m_done)
                break;
            pollfd fds[2] = {{xcb_get_file_descriptor(m_c), POLLIN, 0}, {pidfd, POLLIN, 0}};
            // Without a pidfd the child's end is found by looking every few ms.
            const int wait = pidfd >= 0 ? std::clamp(int(nextDeadline() - t) + 1, 1, 100) : 5;
            poll(fds, pidfd >= 0 ? 2 : 1, wait);
            while (xcb_generic_event_t* ev = xcb_poll_for_event(m_c)) {
                handle(ev, nowMs() - m_start);
                std::free(ev);
            }
            if (xcb_connection_has_error(m_c)) {
                m_error = "lost the X connection";
                break;
            }
            int status = 0;
            if (waitpid(m_child, &status, WNOHANG) == m_child) {
                exited = true;
                if (!m_quiet) {
                    m_error = WIFSIGNALED(status)
                                  ? "the program was killed by signal " + std::to_string(WTERMSIG(status))
                                  : "the program exited with " + std::to_string(WEXITSTATUS(status));
                    m_error += m_firstMs < 0 ? " before it drew" : " before it went quiet";
                }
                break;
            }
        }
        if (pidfd >= 0)
            close(pidfd);
        if (!exited)
            stopChild();
        report();
        return m_error.empty() ? 0 : 1;
    }

private:
    xcb_atom_t internAtom(const char* name)
    {
        auto r = owned(
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(std::strlen(name)), name), nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    std::optional<uint32_t> windowPid(xcb_window_t w)
    {
        auto r = owned(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4)
            return std::nullopt;
        return *static_cast<uint32_t*>(xcb_get_property_value(r.get()));
    }

    void handle(xcb_generic_event_t* ev, double t)
    {
        const uint8_t type = ev->response_type & 0x7f;
        if (type == m_damageEvent) {
            const auto* d = reinterpret_cast<xcb_damage_notify_event_t*>(ev);
            const Rect area{d->area.x, d->area.y, d->area.width, d->area.height};
            if (m_trace)
                std::fprintf(stderr, "%8.1f damage %s 0x%x %dx%d+%d+%d%s\n", t,
                             d->damage == m_rootDamage ? "root" : "window", d->drawable, area.w, area.h,
                             area.x, area.y, (d->level & 0x80) ? " more" : "");
            if (d->damage == m_rootDamage)
                onDamage(area, t);
            else if (m_target && d->drawable == *m_target && !m_quiet) {
                if (m_windowFirstMs < 0)
                    m_windowFirstMs = t;
                ++m_windowEvents;
            }
            return;
        }
        switch (type) {
        case XCB_CREATE_NOTIFY: {
            const auto* e = reinterpret_cast<xcb_create_notify_event_t*>(ev);
            if (m_o.windowDamage && e->parent == m_root && !e->override_redirect) {
                const xcb_damage_damage_t d = xcb_generate_id(m_c);
                xcb_damage_create(m_c, d, e->window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
            }
            break;
        }
        case XCB_MAP_NOTIFY: {
            const auto* e = reinterpret_cast<xcb_map_notify_event_t*>(ev);
            if (m_target || e->event != m_root || e->override_redirect)
                break;
            auto g = owned(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, e->window), nullptr));
            if (!g || g->width < m_o.minW || g->height < m_o.minH)
                break;
            m_pid = windowPid(e->window);
            if (m_pid && pid_t(*m_pid) != m_child)
                break;
            m_target = e->window;
            m_area = {g->x, g->y, g->width, g->height};
            m_mapMs = t;
            if (m_trace)
                std::fprintf(stderr, "%8.1f map 0x%x\n", t, e->window);
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto* e = reinterpret_cast<xcb_configure_notify_event_t*>(ev);
            if (m_target && e->window == *m_target) {
                m_area = {e->x, e->y, e->width, e->height};
                m_reconfigured = true;
            }
            break;
        }
        case XCB_UNMAP_NOTIFY:
        case XCB_DESTROY_NOTIFY: {
            // Same layout for the window field in both.
            const auto* e = reinterpret_cast<xcb_unmap_notify_event_t*>(ev);
            if (m_target && e->window == *m_target && !m_quiet)
                m_error = "the window went away before it went quiet";
            if (!m_error.empty())
                m_done = true;
            break;
        }
        default:
            break;
        }
    }

    void onDamage(const Rect& area, double t)
    {
        if (!m_target || !area.intersects(m_area))
            return;
        if (m_firstMs < 0)
            m_firstMs = t;
        m_lastDamage = t;
        if (!m_quiet) {
            m_lastMs = t;
            ++m_events;
        }
    }

    double nextDeadline() const
    {
        double next = m_o.timeoutMs;
        if (m_firstMs >= 0 && !m_quiet)
            next = std::min(next, m_lastDamage + m_o.quietMs);
        if (comparing() && m_firstMs >= 0 && !m_firstFrame)
            next = std::min(next, m_lastDamage + 100);
        if (comparing() && m_mapMs >= 0 && !m_later)
            next = std::min(next, m_mapMs + 2000);
        return next;
    }

    bool comparing() const { return !m_o.comparePrefix.empty(); }

    void checkDeadlines(double t)
    {
        if (m_firstMs >= 0 && !m_quiet && t - m_lastDamage >= m_o.quietMs) {
            m_quiet = true;
            m_rssKb = residentKb(m_child);
        }
        if (comparing() && m_firstMs >= 0 && !m_firstFrame && t - m_lastDamage >= 100) {
            m_firstFrame = grab();
            m_firstFrameMs = t;
        }
        if (comparing() && m_mapMs >= 0 && !m_later && t - m_mapMs >= 2000) {
            m_later = grab();
            m_laterMs = t;
        }
        const bool grabsDone = !comparing() || (m_firstFrame && m_later);
        if (!m_error.empty() || (m_quiet && grabsDone)) {
            m_done = true;
        } else if (t >= m_o.timeoutMs) {
            if (m_firstMs < 0)
                m_error =
                    m_target ? "no damage in the window before the timeout" : "no window before the timeout";
            else if (!m_quiet) {
                m_timedOut = true;
                m_rssKb = residentKb(m_child);
            }
            m_done = true;
        }
    }

    // The window's pixels as the screen shows them; without a compositor that is what a user sees.
    std::optional<QImage> grab()
    {
        const auto w = uint16_t(m_area.w), h = uint16_t(m_area.h);
        auto r = owned(xcb_get_image_reply(
            m_c, xcb_get_image(m_c, XCB_IMAGE_FORMAT_Z_PIXMAP, *m_target, 0, 0, w, h, ~0u), nullptr));
        if (!r) {
            m_error = "couldn't grab the window";
            return std::nullopt;
        }
        const int length = xcb_get_image_data_length(r.get());
        if (length != int(w) * h * 4 || (r->depth != 24 && r->depth != 32)) {
            m_error = "only 24- and 32-bit windows at 32 bits a pixel can be grabbed (depth " +
                      std::to_string(r->depth) + ")";
            return std::nullopt;
        }
        // 32 bits a pixel with red in 0xff0000 is Qt's RGB32; the top byte is whatever the server left.
        QImage image(xcb_get_image_data(r.get()), w, h, int(w) * 4, QImage::Format_RGB32);
        return image.copy();
    }

    void stopChild()
    {
        kill(m_child, SIGTERM);
        for (int i = 0; i < 500; ++i) {
            if (waitpid(m_child, nullptr, WNOHANG) == m_child)
                return;
            usleep(10000);
        }
        std::fprintf(stderr, "startup_probe: the program ignored SIGTERM for 5 s, killing it\n");
        kill(m_child, SIGKILL);
        waitpid(m_child, nullptr, 0);
    }

    void report()
    {
        std::string out = "{";
        const auto add = [&](const char* key, const std::string& value) {
            if (out.size() > 1)
                out += ',';
            out += '"';
            out += key;
            out += "\":";
            out += value;
        };
        const auto num = [](double v) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.1f", v);
            return std::string(buf);
        };
        const auto str = [](const std::string& s) {
            std::string q = "\"";
            for (char ch : s) {
                if (ch == '"' || ch == '\\')
                    q += '\\';
                q += ch;
            }
            return q + '"';
        };
        add("ok", m_error.empty() ? "true" : "false");
        if (!m_error.empty())
            add("error", str(m_error));
        add("pid", std::to_string(m_child));
        if (m_target) {
            char id[16];
            std::snprintf(id, sizeof id, "0x%x", *m_target);
            add("window", str(id));
            add("geometry", str(std::to_string(m_area.w) + "x" + std::to_string(m_area.h) + "+" +
                                std::to_string(m_area.x) + "+" + std::to_string(m_area.y)));
            add("netWmPid", m_pid ? "true" : "false");
        }
        if (m_reconfigured)
            add("reconfigured", "true");
        if (m_mapMs >= 0)
            add("map", num(m_mapMs));
        if (m_firstMs >= 0) {
            add("first", num(m_firstMs));
            add("last", num(m_lastMs));
            add("damageEvents", std::to_string(m_events));
        }
        if (m_timedOut)
            add("timedOut", "true");
        if (m_rssKb >= 0)
            add("rssKb", std::to_string(m_rssKb));
        if (m_o.windowDamage && m_windowFirstMs >= 0) {
            add("windowDamageFirst", num(m_windowFirstMs));
            add("windowDamageEvents", std::to_string(m_windowEvents));
        }
        if (comparing() && m_firstFrame && m_later)
            compare(add, num, str);
        std::printf("%s}\n", out.c_str());
        std::fflush(stdout);
    }

    template <typename Add, typename Num, typename Str>
    void compare(const Add& add, const Num& num, const Str& str)
    {
        const std::string first = m_o.comparePrefix + "-first.png", later = m_o.comparePrefix + "-2s.png";
        if (!m_firstFrame->save(QString::fromStdString(first)) ||
            !m_later->save(QString::fromStdString(later))) {
            m_error = "couldn't write " + first + " or " + later;
            add("error", str(m_error));
            return;
        }
        long differing = 0;
        Rect box{-1, -1, 0, 0};
        int x1 = -1, y1 = -1;
        const int w = std::min(m_firstFrame->width(), m_later->width());
        const int h = std::min(m_firstFrame->height(), m_later->height());
        for (int y = 0; y < h; ++y) {
            const auto* a = reinterpret_cast<const QRgb*>(m_firstFrame->constScanLine(y));
            const auto* b = reinterpret_cast<const QRgb*>(m_later->constScanLine(y));
            for (int x = 0; x < w; ++x) {
                if ((a[x] & 0xffffff) == (b[x] & 0xffffff) || (m_o.ignore && m_o.ignore->contains(x, y)))
                    continue;
                ++differing;
                box.x = box.x < 0 ? x : std::min(box.x, x);
                box.y = box.y < 0 ? y : std::min(box.y, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
        add("firstFrameAt", num(m_firstFrameMs));
        add("secondGrabAt", num(m_laterMs));
        add("firstFramePng", str(first));
        add("secondPng", str(later));
        if (m_firstFrame->size() != m_later->size())
            add("sizeChanged", "true");
        add("differingPixels", std::to_string(differing));
        if (differing > 0)
            add("differingBox", str(std::to_string(x1 - box.x + 1) + "x" + std::to_string(y1 - box.y + 1) +
                                    "+" + std::to_string(box.x) + "+" + std::to_string(box.y)));
    }

    xcb_connection_t* m_c;
    const Options& m_o;
    bool m_trace = false; // every map and damage event on stderr
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
    uint8_t m_damageEvent = 0;
    xcb_damage_damage_t m_rootDamage = 0;
    double m_windowFirstMs = -1; // --window-damage: the window's own damage object
    long m_windowEvents = 0;
    pid_t m_child = -1;
    double m_start = 0;

    std::optional<xcb_window_t> m_target;
    std::optional<uint32_t> m_pid;
    Rect m_area;
    bool m_reconfigured = false;
    double m_mapMs = -1, m_firstMs = -1, m_lastMs = -1, m_lastDamage = -1;
    long m_events = 0;
    bool m_quiet = false, m_timedOut = false, m_done = false;
    long m_rssKb = -1;
    std::optional<QImage> m_firstFrame, m_later;
    double m_firstFrameMs = -1, m_laterMs = -1;
    std::string m_error;
};

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "startup_probe: can't open the X display (DISPLAY=%s)\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
        return 2;
    }
    // The program must not inherit our connection.
    fcntl(xcb_get_file_descriptor(c), F_SETFD, FD_CLOEXEC);
    Probe probe(c, options);
    if (!probe.watchRoot())
        return 2;
    const int rc = probe.run();
    xcb_disconnect(c);
    return rc;
}
