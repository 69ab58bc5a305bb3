#include "support/x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <thread>

#include "support/process.h"

namespace {

// A window listed a moment ago may be gone, or unmapped, by the time it is asked about (the
// program under test makes and drops windows of its own); the call then fails and says so,
// instead of the default handler ending the test process.
XErrorHandler previousHandler = nullptr;
int ignoreVanishedWindows(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadMatch ||
        previousHandler == nullptr) {
        return 0;
    }
    return previousHandler(display, error);
}

struct DisplayHandle {
    Display* display = XOpenDisplay(nullptr);
    DisplayHandle() {
        static const XErrorHandler installed = [] {
            previousHandler = XSetErrorHandler(ignoreVanishedWindows);
            return previousHandler;
        }();
        (void)installed;
    }
    ~DisplayHandle() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
};

std::string titleOf(Display* display, Window window) {
    std::string title;
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

void collect(Display* display, Window parent, const std::string& title,
             std::vector<unsigned long>& found) {
    Window root, up;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, parent, &root, &up, &children, &count) == 0) {
        return;
    }
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable && titleOf(display, children[i]) == title) {
            found.push_back(children[i]);
        }
        collect(display, children[i], title, found);
    }
    if (children != nullptr) {
        XFree(children);
    }
}

} // namespace

std::vector<unsigned long> findWindows(const std::string& title) {
    std::vector<unsigned long> found;
    DisplayHandle handle;
    if (handle.display != nullptr) {
        collect(handle.display, DefaultRootWindow(handle.display), title, found);
    }
    return found;
}

unsigned long waitForWindow(const std::string& title, std::chrono::milliseconds timeout) {
    unsigned long window = 0;
    waitFor(
        [&] {
            const auto windows = findWindows(title);
            window = windows.empty() ? 0 : windows.front();
            return window != 0;
        },
        timeout);
    return window;
}

bool waitForNoWindow(const std::string& title, std::chrono::milliseconds timeout) {
    return waitFor([&] { return findWindows(title).empty(); }, timeout);
}

ScreenRect windowGeometry(unsigned long window) {
    ScreenRect rect;
    DisplayHandle handle;
    if (handle.display == nullptr) {
        return rect;
    }
    XWindowAttributes attributes;
    if (XGetWindowAttributes(handle.display, window, &attributes) == 0) {
        return rect;
    }
    Window child;
    XTranslateCoordinates(handle.display, window, DefaultRootWindow(handle.display), 0, 0, &rect.x,
                          &rect.y, &child);
    rect.width = attributes.width;
    rect.height = attributes.height;
    return rect;
}

ScreenRect outerGeometry(unsigned long window) {
    ScreenRect rect;
    DisplayHandle handle;
    if (handle.display == nullptr) {
        return rect;
    }
    // A window manager puts the window into a frame window of its own, made a child of the root.
    Window outer = window;
    for (;;) {
        Window root, parent;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(handle.display, outer, &root, &parent, &children, &count) == 0) {
            return rect;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root) {
            break;
        }
        outer = parent;
    }
    XWindowAttributes attributes;
    if (XGetWindowAttributes(handle.display, outer, &attributes) != 0) {
        rect.x = attributes.x;
        rect.y = attributes.y;
        rect.width = attributes.width + 2 * attributes.border_width;
        rect.height = attributes.height + 2 * attributes.border_width;
    }
    return rect;
}

void pressKeys(unsigned long window, const std::string& keys) {
    // As on-screen keyboards, remote desktops and quick fingers type: each key's release follows
    // its press at once, so both may arrive between two frames of the dashboard.
    const std::string id = std::to_string(window);
    runCommand("xdotool windowfocus --sync " + id + " >/dev/null 2>&1; xdotool key --delay 0 " +
               keys);
}

std::string windowPixels(unsigned long window) {
    DisplayHandle handle;
    std::string pixels;
    XWindowAttributes attributes;
    if (handle.display == nullptr ||
        XGetWindowAttributes(handle.display, window, &attributes) == 0) {
        return pixels;
    }
    XImage* image = XGetImage(handle.display, window, 0, 0, attributes.width, attributes.height,
                              AllPlanes, ZPixmap);
    if (image != nullptr) {
        for (int y = 0; y < image->height; ++y) {
            for (int x = 0; x < image->width; ++x) {
                const unsigned long p = XGetPixel(image, x, y) & 0xFFFFFF;
                pixels.append(reinterpret_cast<const char*>(&p), 3);
            }
        }
        XDestroyImage(image);
    }
    return pixels;
}

std::string settledPixels(unsigned long window, std::chrono::milliseconds timeout) {
    std::string before;
    std::string now = windowPixels(window);
    waitFor(
        [&] {
            before = now;
            std::this_thread::sleep_for(std::chrono::seconds(1));
            now = windowPixels(window);
            // A window whose first frame is not up yet shows one colour all over.
            const bool drawn =
                now.size() > 3 && now.find_first_not_of(now.substr(0, 3)) != std::string::npos;
            return drawn && now == before;
        },
        timeout);
    return now;
}

void askToClose(unsigned long window) {
    DisplayHandle handle;
    if (handle.display == nullptr) {
        return;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(handle.display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] =
        static_cast<long>(XInternAtom(handle.display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(handle.display, window, False, NoEventMask, &event);
    XFlush(handle.display);
}

bool dismissErrorBox(std::chrono::milliseconds timeout) {
    const unsigned long box = waitForWindow("Error", timeout);
    if (box == 0) {
        return false;
    }
    pressKeys(box, "Return");
    return waitForNoWindow("Error", timeout);
}
