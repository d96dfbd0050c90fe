#include "XWatch.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <poll.h>

namespace {

// The few entries of libXdamage used here, looked up at run time: the machine has the library
// but not its development header.
using DamageQuery = Bool (*)(Display*, int*, int*);
using DamageCreate = XID (*)(Display*, Drawable, int);
// Every drawn rectangle is reported, with no need to acknowledge the last.
constexpr int kReportRawRectangles = 0;

struct DamageNotify {
    int type;
    unsigned long serial;
    Bool send_event;
    Display* display;
    Drawable drawable;
    XID damage;
};

DamageQuery damage_query = nullptr;
DamageCreate damage_create = nullptr;

bool LoadDamage() {
    void* library = dlopen("libXdamage.so.1", RTLD_NOW);
    if (!library)
        return false;
    damage_query = reinterpret_cast<DamageQuery>(dlsym(library, "XDamageQueryExtension"));
    damage_create = reinterpret_cast<DamageCreate>(dlsym(library, "XDamageCreate"));
    return damage_query && damage_create;
}

// Windows vanish between an event and the question about them.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

std::string Title(Display* display, ::Window window) {
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

}  // namespace

XWatch::~XWatch() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (display_)
        XCloseDisplay(static_cast<Display*>(display_));
}

bool XWatch::Start() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    display_ = display;
    XSetErrorHandler(IgnoreErrors);
    int error_base = 0;
    has_damage_ = LoadDamage() && damage_query(display, &damage_event_, &error_base);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    thread_ = std::thread([this] { Loop(); });
    return true;
}

XWatch::Window* XWatch::Find(unsigned long id) {
    for (Window& window : windows_) {
        if (window.id == id)
            return &window;
    }
    return nullptr;
}

void XWatch::Loop() {
    auto* display = static_cast<Display*>(display_);
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    while (!stop_) {
        if (!XPending(display)) {
            poll(&fd, 1, 50);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        const TimePoint at = Clock::now();
        std::lock_guard<std::mutex> lock(mutex_);
        if (event.type == CreateNotify) {
            Window window;
            window.id = event.xcreatewindow.window;
            // Made before the window is mapped, so its first drawing is never missed.
            if (has_damage_)
                window.damage = damage_create(display, window.id, kReportRawRectangles);
            windows_.push_back(window);
        } else if (event.type == MapNotify) {
            if (!Find(event.xmap.window))
                windows_.push_back(Window{event.xmap.window});
            Window* window = Find(event.xmap.window);
            window->title = Title(display, window->id);
            window->mapped = at;
            window->painted.reset();
            window->paints.clear();
            if (!has_damage_)
                window->painted = at;
        } else if (has_damage_ && event.type == damage_event_) {
            const auto& damage = reinterpret_cast<const DamageNotify&>(event);
            Window* window = Find(damage.drawable);
            if (window && window->mapped) {
                if (!window->painted)
                    window->painted = at;
                window->paints.push_back(at);
            }
        }
        changed_.notify_all();
    }
}

std::optional<XWatch::Shown> XWatch::WaitShown(const std::string& title, TimePoint after,
                                               int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<Shown> shown;
    changed_.wait_until(lock, Clock::now() + std::chrono::milliseconds(timeout_ms), [&] {
        for (const Window& window : windows_) {
            if (window.title == title && window.mapped && *window.mapped >= after &&
                window.painted) {
                shown = Shown{*window.mapped, *window.painted, window.id};
                return true;
            }
        }
        return false;
    });
    return shown;
}

std::optional<TimePoint> XWatch::WaitPainted(unsigned long window, TimePoint after,
                                             int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<TimePoint> painted;
    changed_.wait_until(lock, Clock::now() + std::chrono::milliseconds(timeout_ms), [&] {
        const Window* found = Find(window);
        if (!found)
            return false;
        for (const TimePoint& at : found->paints) {
            if (at >= after) {
                painted = at;
                return true;
            }
        }
        return false;
    });
    return painted;
}
