// Starts a program under the X server in $DISPLAY and reports, in milliseconds from exec,
// when its top-level window was mapped, when it was first painted (the first Damage event on
// one of its windows: often only the window's background, filled by the server at the map)
// and when it first showed a picture (the first Damage after which its window, children
// included, is not one flat colour, as a person sees it). With --at X Y it also waits until
// the window stands at X,Y (a restored position; without a window manager) and reports that
// moment. A moment not seen within 20 s is -1. The program is left running; its pid is printed
// first:  pid map_ms paint_ms picture_ms [at_ms]
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

[[noreturn]] void die(const char* what) {
    std::fprintf(stderr, "startwatch: %s\n", what);
    std::exit(1);
}

// The window manager's check window, or none: windows the window manager makes share its base.
uint32_t windowManagerCheck(xcb_connection_t* c, xcb_window_t root) {
    const char name[] = "_NET_SUPPORTING_WM_CHECK";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr),
        &std::free);
    if (!atom)
        return XCB_NONE;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> check(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    if (!check || xcb_get_property_value_length(check.get()) < 4)
        return XCB_NONE;
    return *static_cast<const uint32_t*>(xcb_get_property_value(check.get()));
}

// Whether the window shows more than one colour now (a window not viewable shows none).
bool showsPicture(xcb_connection_t* c, xcb_window_t window) {
    const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
    if (!geometry)
        return false;
    const std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                          geometry->width, geometry->height, ~0u),
                            nullptr),
        &std::free);
    if (!image || image->depth != 24)
        return false;
    const auto* pixels = reinterpret_cast<const uint32_t*>(xcb_get_image_data(image.get()));
    const int count = xcb_get_image_data_length(image.get()) / 4;
    return std::any_of(pixels, pixels + count,
                       [&](uint32_t pixel) { return ((pixel ^ pixels[0]) & 0xFFFFFF) != 0; });
}

// The next event, or none once the deadline has passed.
xcb_generic_event_t* nextEvent(xcb_connection_t* c,
                               std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(c))
            return event;
        if (xcb_connection_has_error(c))
            die("the X connection broke");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return nullptr;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left));
    }
}

} // namespace

int main(int argc, char** argv) {
    int first = 1;
    bool wantAt = false;
    int atX = 0, atY = 0;
    if (argc > 3 && std::strcmp(argv[1], "--at") == 0) {
        wantAt = true;
        atX = std::atoi(argv[2]);
        atY = std::atoi(argv[3]);
        first = 4;
    }
    if (first >= argc)
        die("usage: startwatch [--at X Y] PROGRAM [ARGS...]");

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        die("cannot connect to the X server");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(c, &xcb_damage_id);
    if (!damage || !damage->present)
        die("the X server has no DAMAGE extension");
    std::free(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
    xcb_flush(c);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[first], argv + first);
        _exit(127);
    }

    // The program's windows are those made on its connection: the first window made after the
    // exec is one, and the others share its resource id base. Under a window manager its
    // top-level is soon a frame's child, out of the root's sight: each is watched itself from
    // its creation on, and only the program's own drawing counts, never a frame's.
    const uint32_t idMask = xcb_get_setup(c)->resource_id_mask;
    const uint32_t wmBase = windowManagerCheck(c, screen->root) & ~idMask;
    std::optional<uint32_t> programBase;
    std::vector<xcb_window_t> created;
    xcb_window_t window = XCB_NONE;
    double mapped = -1, painted = -1, picture = -1, at = -1;
    const auto deadline = start + std::chrono::seconds(20);
    while (picture < 0 || (wantAt && at < 0)) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(nextEvent(c, deadline),
                                                                         &std::free);
        if (!event)
            break;
        const uint8_t type = event->response_type & 0x7F;
        if (type == XCB_CREATE_NOTIFY) {
            const xcb_window_t id =
                reinterpret_cast<xcb_create_notify_event_t*>(event.get())->window;
            if (!programBase && (id & ~idMask) != wmBase)
                programBase = id & ~idMask;
            if (!programBase)
                continue;
            if ((id & ~idMask) != *programBase)
                continue;
            created.push_back(id);
            const uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(c, id, XCB_CW_EVENT_MASK, &structure);
            xcb_damage_create(c, xcb_generate_id(c), id, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
            xcb_flush(c);
        } else if (type == XCB_MAP_NOTIFY && window == XCB_NONE) {
            const xcb_window_t id = reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window;
            if (std::find(created.begin(), created.end(), id) != created.end()) {
                window = id;
                mapped = msSince(start);
                // A window placed before it is mapped stands at its place from the start.
                const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
                    xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr), &std::free);
                if (wantAt && geometry && geometry->x == atX && geometry->y == atY)
                    at = mapped;
            }
        } else if (type == damage->first_event + XCB_DAMAGE_NOTIFY) {
            const auto* notify = reinterpret_cast<xcb_damage_notify_event_t*>(event.get());
            if (std::find(created.begin(), created.end(), notify->drawable) == created.end())
                continue;
            if (painted < 0)
                painted = msSince(start);
            if (picture >= 0)
                continue;
            // Emptied before the look, so that any drawing after it is reported again.
            xcb_damage_subtract(c, notify->damage, XCB_NONE, XCB_NONE);
            if (window != XCB_NONE && showsPicture(c, window))
                picture = msSince(start);
        } else if (type == XCB_CONFIGURE_NOTIFY && wantAt && window != XCB_NONE) {
            const auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event.get());
            if (configure->window == window && configure->x == atX && configure->y == atY)
                at = msSince(start);
        }
    }
    if (wantAt)
        std::printf("%d %.1f %.1f %.1f %.1f\n", pid, mapped, painted, picture, at);
    else
        std::printf("%d %.1f %.1f %.1f\n", pid, mapped, painted, picture);
    xcb_disconnect(c);
    return 0;
}
