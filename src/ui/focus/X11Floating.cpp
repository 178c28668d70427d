#include "ui/focus/X11Floating.h"

#include <QGuiApplication>
#include <QWindow>

#if defined(VORN_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <optional>
#include <vector>
#endif

namespace vorn {

#if defined(VORN_HAVE_XCB) && QT_CONFIG(xcb)

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t result = reply->atom;
    free(reply);
    return result;
}

std::vector<xcb_atom_t> stateAtoms(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t netWmState)
{
    std::vector<xcb_atom_t> atoms;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, netWmState, XCB_ATOM_ATOM, 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    if (!reply)
        return atoms;
    if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(data, data + xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t)));
    }
    free(reply);
    return atoms;
}

// The first 32-bit value of a window's property of `type`, if it has one.
std::optional<uint32_t> firstValue(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                   xcb_atom_t type)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1), nullptr);
    if (!reply)
        return std::nullopt;
    std::optional<uint32_t> value;
    if (reply->format == 32 && reply->type == type && xcb_get_property_value_length(reply) >= 4)
        value = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
    free(reply);
    return value;
}

// EWMH: a client asks the window manager, through the root window, to change a mapped window's state.
void sendToRoot(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    int i = 0;
    for (uint32_t value : data)
        message.data.data32[i++] = value;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

} // namespace

void applyX11Floating(QWindow* window, bool floats, bool mapped)
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!window || !x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    const xcb_atom_t netWmState = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t sticky = atom(connection, "_NET_WM_STATE_STICKY");
    const xcb_atom_t above = atom(connection, "_NET_WM_STATE_ABOVE");
    const xcb_atom_t staysOnTop = atom(connection, "_NET_WM_STATE_STAYS_ON_TOP");
    const xcb_atom_t desktop = atom(connection, "_NET_WM_DESKTOP");
    if (!netWmState || !sticky || !above || !desktop)
        return;
    constexpr uint32_t allDesktops = 0xFFFFFFFF;

    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // Without a window manager nobody answers requests, and the properties stay ours to write.
    const bool managed =
        firstValue(connection, root, atom(connection, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW)
            .has_value();
    if (mapped && managed) {
        constexpr uint32_t remove = 0, add = 1, fromApplication = 1;
        // Both states in one request, so the window manager never sees one without the other.
        sendToRoot(connection, root, id, netWmState,
                   {floats ? add : remove, above, sticky, fromApplication, 0});
        // Window managers without the sticky state (openbox) put a window on every desktop by its
        // desktop number; back to an ordinary window it goes to the desktop in view.
        const uint32_t onDesktop =
            floats ? allDesktops
                   : firstValue(connection, root, atom(connection, "_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL)
                         .value_or(0);
        sendToRoot(connection, root, id, desktop, {onDesktop, fromApplication, 0, 0, 0});
        xcb_flush(connection);
        return;
    }

    // Unmapped: the properties are ours to write, and the window manager reads them at the next map.
    std::vector<xcb_atom_t> atoms = stateAtoms(connection, id, netWmState);
    std::erase_if(atoms, [&](xcb_atom_t a) { return a == sticky || a == above || a == staysOnTop; });
    if (floats) {
        atoms.push_back(above);
        atoms.push_back(sticky);
    }
    if (atoms.empty())
        xcb_delete_property(connection, id, netWmState);
    else
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netWmState, XCB_ATOM_ATOM, 32,
                            uint32_t(atoms.size()), atoms.data());
    if (floats)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1,
                            &allDesktops);
    else
        xcb_delete_property(connection, id, desktop);
    xcb_flush(connection);
}

std::optional<bool> x11Compositing(QWindow* window)
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!window || !x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    // The screen Qt connected to by default (":0.1" is screen 1); the panel lives there.
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    const int screen = dot < 0 ? 0 : display.mid(dot + 1).toInt();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    const xcb_atom_t selection = atom(connection, name.constData());
    if (!selection)
        return false;
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    if (!reply)
        return false;
    const bool owned = reply->owner != XCB_WINDOW_NONE;
    free(reply);
    return owned;
}

#else

void applyX11Floating(QWindow*, bool, bool) {}

std::optional<bool> x11Compositing(QWindow*)
{
    return std::nullopt;
}

#endif

} // namespace vorn
