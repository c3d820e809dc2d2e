// startup_watch: starts a program under the X server of $DISPLAY and times, from the
// moment before the fork, when its windows appear on that server:
//   splash_mapped / splash_painted   the first splash-type window (_NET_WM_WINDOW_TYPE_SPLASH)
//   main_mapped / main_painted       the first window of at least 50 x 50 pixels whose title
//                                    or class contains --main
// "Painted" means that sample rows of the window hold a pixel that is not black: the X
// server must run with a plain black root (Xvfb -br), which is what a window shows until
// its program draws it. A Qt program draws its window from its event loop, so the main
// window's first paint also says the loop is running. With --settle S it reads the memory
// of the program's whole process tree (helper processes such as QtWebEngineProcess
// included) from /proc twice: right after the main window is painted, and S seconds later:
// USS (private pages) and private dirty pages of the program's own process and of its
// helpers, and PSS and RSS of the tree. PSS shares a library's pages among every process on
// the machine that maps them, so it drops while other programs using the same libraries
// run. USS counts a library's clean pages too while no other process maps them, so it
// also moves with what else runs; the private dirty pages (heap, stacks, relocated data)
// belong to the process alone. The program is then ended. The child gets QUAVREL_STARTUP_T0 (the start in CLOCK_MONOTONIC
// nanoseconds), so the program's own start-up marks count from the same moment.
// Prints "key=value" lines (milliseconds, KiB); exit 1 when the main window was never
// painted, 3 when the display cannot be opened.
// Used by bench/startup_bench.sh for the program and its peer alike.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string mainName;
    double settleSeconds = 0;
    double limitSeconds = 60;
    std::string log = "/dev/null";
    std::vector<char*> command;
};

bool parseOptions(int argc, char** argv, Options& options)
{
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc)
            return false;
        if (arg == "--main")
            options.mainName = argv[++i];
        else if (arg == "--settle")
            options.settleSeconds = std::atof(argv[++i]);
        else if (arg == "--limit")
            options.limitSeconds = std::atof(argv[++i]);
        else if (arg == "--log")
            options.log = argv[++i];
        else
            return false;
    }
    for (; i < argc; ++i)
        options.command.push_back(argv[i]);
    options.command.push_back(nullptr);
    return !options.mainName.empty() && options.command.size() > 1;
}

class XWatch {
public:
    explicit XWatch(xcb_connection_t* c) : c_(c)
    {
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        root_ = screen_->root;
        uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
        windowType_ = atom("_NET_WM_WINDOW_TYPE");
        splashType_ = atom("_NET_WM_WINDOW_TYPE_SPLASH");
        netWmName_ = atom("_NET_WM_NAME");
        utf8_ = atom("UTF8_STRING");
        xcb_flush(c_);
    }

    xcb_atom_t atom(const char* name)
    {
        auto cookie = xcb_intern_atom(c_, 0, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c_, cookie, nullptr);
        xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return a;
    }

    std::string property(xcb_window_t w, xcb_atom_t name, xcb_atom_t type)
    {
        auto cookie = xcb_get_property(c_, 0, w, name, type, 0, 1024);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(c_, cookie, nullptr);
        std::string value;
        if (reply) {
            int length = xcb_get_property_value_length(reply);
            value.assign(static_cast<const char*>(xcb_get_property_value(reply)), static_cast<size_t>(length));
            std::free(reply);
        }
        return value;
    }

    // Title and class of a window, for matching by name.
    std::string label(xcb_window_t w)
    {
        std::string text = property(w, netWmName_, utf8_) + "\n" + property(w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) +
                           "\n" + property(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
        for (char& ch : text)
            if (ch == '\0')
                ch = '\n';
        return text;
    }

    bool isSplash(xcb_window_t w)
    {
        std::string types = property(w, windowType_, XCB_ATOM_ATOM);
        for (size_t i = 0; i + sizeof(xcb_atom_t) <= types.size(); i += sizeof(xcb_atom_t)) {
            xcb_atom_t a;
            std::memcpy(&a, types.data() + i, sizeof a);
            if (a == splashType_)
                return true;
        }
        return false;
    }

    // Helper windows (selection owners, 1 x 1 leaders) are never the main window.
    bool largeEnough(xcb_window_t w)
    {
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
        bool large = g && g->width >= 50 && g->height >= 50;
        std::free(g);
        return large;
    }

    // True when one of seven sample rows of the window holds a pixel that is not black.
    bool painted(xcb_window_t w)
    {
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
        if (!g)
            return false;
        uint16_t width = g->width, height = g->height;
        std::free(g);
        for (int part = 1; part <= 7; ++part) {
            int16_t y = static_cast<int16_t>(height * part / 8);
            auto cookie = xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, w, 0, y, width, 1, ~0u);
            xcb_get_image_reply_t* image = xcb_get_image_reply(c_, cookie, nullptr);
            if (!image)
                return false;
            const uint8_t* data = xcb_get_image_data(image);
            int length = xcb_get_image_data_length(image);
            for (int i = 0; i + 4 <= length; i += 4) {
                uint32_t pixel;
                std::memcpy(&pixel, data + i, 4);
                if ((pixel & 0xFFFFFF) != 0) {
                    std::free(image);
                    return true;
                }
            }
            std::free(image);
        }
        return false;
    }

private:
    xcb_connection_t* c_;
    xcb_screen_t* screen_;
    xcb_window_t root_;
    xcb_atom_t windowType_, splashType_, netWmName_, utf8_;
};

// Every process whose parent chain leads to `top`, `top` included.
std::vector<int> processTree(int top)
{
    std::map<int, std::vector<int>> children;
    if (DIR* dir = opendir("/proc")) {
        while (dirent* entry = readdir(dir)) {
            int pid = std::atoi(entry->d_name);
            if (pid <= 0)
                continue;
            std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
            std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
            size_t close = text.rfind(')');
            if (close == std::string::npos)
                continue;
            std::istringstream rest(text.substr(close + 2));
            std::string state;
            int parent = 0;
            rest >> state >> parent;
            children[parent].push_back(pid);
        }
        closedir(dir);
    }
    std::vector<int> tree{top};
    for (size_t i = 0; i < tree.size(); ++i)
        for (int child : children[tree[i]])
            tree.push_back(child);
    return tree;
}

// A field of /proc/PID/smaps_rollup in KiB ("Pss:", "Rss:"); 0 when unreadable.
long rollup(int pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, field.size(), field) == 0)
            return std::atol(line.c_str() + field.size());
    return 0;
}

// Memory of a process tree at one moment, in KiB.
struct TreeMemory {
    size_t processes = 0;
    long pss = 0, rss = 0, ussMain = 0, ussHelpers = 0, dirtyMain = 0, dirtyHelpers = 0, pssMain = 0;
};

TreeMemory treeMemory(int top)
{
    TreeMemory m;
    std::vector<int> tree = processTree(top);
    m.processes = tree.size();
    for (int pid : tree) {
        m.pss += rollup(pid, "Pss:");
        m.rss += rollup(pid, "Rss:");
        const long dirty = rollup(pid, "Private_Dirty:");
        (pid == top ? m.ussMain : m.ussHelpers) += rollup(pid, "Private_Clean:") + dirty;
        (pid == top ? m.dirtyMain : m.dirtyHelpers) += dirty;
    }
    m.pssMain = rollup(top, "Pss:");
    return m;
}

void endTree(int child)
{
    std::vector<int> tree = processTree(child);
    for (int pid : tree)
        ::kill(pid, SIGTERM);
    ::kill(-child, SIGTERM);
    for (int i = 0; i < 40; ++i) {
        if (::waitpid(child, nullptr, WNOHANG) == child)
            break;
        ::usleep(50000);
        if (i == 39) {
            for (int pid : processTree(child))
                ::kill(pid, SIGKILL);
            ::kill(-child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }
    for (int pid : tree)
        ::kill(pid, SIGKILL);   // helpers that outlived their parent
    // Gone for good before the next run starts: pages they still map would count as shared
    // in the next run's memory figures.
    for (int i = 0; i < 100; ++i) {
        bool anyLeft = false;
        for (int pid : tree)
            anyLeft = anyLeft || ::access(("/proc/" + std::to_string(pid) + "/maps").c_str(), F_OK) == 0;
        if (!anyLeft)
            break;
        ::usleep(20000);
    }
}

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: startup_watch --main NAME [--settle S] [--limit S] [--log FILE] -- COMMAND...\n");
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "startup_watch: cannot open the display\n");
        return 3;
    }
    XWatch x(c);

    const Clock::time_point t0 = Clock::now();   // steady_clock is CLOCK_MONOTONIC
    const std::string t0Ns = std::to_string(
        std::chrono::duration_cast<std::chrono::nanoseconds>(t0.time_since_epoch()).count());
    pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        ::setenv("QUAVREL_STARTUP_T0", t0Ns.c_str(), 1);
        int fd = ::open(options.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        ::execvp(options.command[0], options.command.data());
        std::_Exit(127);
    }

    xcb_window_t splash = 0, mainWindow = 0;
    double splashMapped = -1, splashPainted = -1, mainMapped = -1, mainPainted = -1;
    const int fd = xcb_get_file_descriptor(c);
    int exitStatus = -1;   // set when the program ended by itself
    while (mainPainted < 0) {
        if (msSince(t0) > options.limitSeconds * 1000) {
            std::fprintf(stderr, "startup_watch: no main window painted within %.0f s\n", options.limitSeconds);
            break;
        }
        if (::waitpid(child, &exitStatus, WNOHANG) == child) {
            std::fprintf(stderr, "startup_watch: the program ended early (status %d)\n", exitStatus);
            break;
        }
        if (xcb_connection_has_error(c)) {
            std::fprintf(stderr, "startup_watch: lost the display\n");
            break;
        }
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 2);
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const double now = msSince(t0);
            switch (event->response_type & 0x7F) {
            case XCB_MAP_NOTIFY: {
                xcb_window_t w = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
                if (!mainWindow && splashPainted < 0 && x.isSplash(w)) {
                    // A toolkit may replace the native window before drawing into it:
                    // follow the newest splash window until one is painted.
                    if (!splash)
                        splashMapped = now;
                    splash = w;
                } else if (!mainWindow && x.label(w).find(options.mainName) != std::string::npos && x.largeEnough(w)) {
                    mainWindow = w;
                    mainMapped = now;
                }
                break;
            }
            default:
                break;
            }
            std::free(event);
        }
        if (splash && splashPainted < 0 && !mainWindow && x.painted(splash))
            splashPainted = msSince(t0);
        if (mainWindow && mainPainted < 0 && x.painted(mainWindow))
            mainPainted = msSince(t0);
    }

    std::printf("splash_mapped=%.1f\nsplash_painted=%.1f\nmain_mapped=%.1f\nmain_painted=%.1f\n", splashMapped,
                splashPainted, mainMapped, mainPainted);
    int status = mainPainted < 0 ? 1 : 0;
    if (status == 0 && options.settleSeconds > 0) {
        const TreeMemory atPaint = treeMemory(child);
        const Clock::time_point settleEnd = Clock::now() + std::chrono::milliseconds(
                                                               static_cast<long>(options.settleSeconds * 1000));
        while (Clock::now() < settleEnd) {
            ::usleep(50000);
            while (xcb_generic_event_t* event = xcb_poll_for_event(c))
                std::free(event);
        }
        const TreeMemory settled = treeMemory(child);
        std::printf("paint_processes=%zu\npaint_uss_main_kib=%ld\npaint_uss_helpers_kib=%ld\n"
                    "paint_dirty_main_kib=%ld\npaint_dirty_helpers_kib=%ld\n",
                    atPaint.processes, atPaint.ussMain, atPaint.ussHelpers, atPaint.dirtyMain, atPaint.dirtyHelpers);
        std::printf("processes=%zu\npss_tree_kib=%ld\nrss_tree_kib=%ld\nuss_tree_kib=%ld\npss_main_kib=%ld\n"
                    "uss_main_kib=%ld\nuss_helpers_kib=%ld\ndirty_main_kib=%ld\ndirty_helpers_kib=%ld\n",
                    settled.processes, settled.pss, settled.rss, settled.ussMain + settled.ussHelpers,
                    settled.pssMain, settled.ussMain, settled.ussHelpers, settled.dirtyMain, settled.dirtyHelpers);
    }
    std::fflush(stdout);
    if (exitStatus < 0)
        endTree(child);
    xcb_disconnect(c);
    return status;
}
