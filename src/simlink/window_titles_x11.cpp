// SPDX-License-Identifier: MIT
// Top-level windows on X11 through libxcb. A window manager that follows EWMH lists its clients in
// _NET_CLIENT_LIST (oldest first); without one the top-level windows are the root's children,
// which the server lists from the bottom of the stack up. A window manager without EWMH reparents
// each client into an untitled frame, so an untitled child of the root is looked into once.
#include "simlink/window_titles.h"
#include "text/result.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace tarvex {
namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class T> using Reply = std::unique_ptr<T, FreeReply>;

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

// Read in pieces of this many 32-bit units until the server says nothing is left.
constexpr std::uint32_t kPropertyChunk = 1024;

// The atom of an existing name; XCB_ATOM_NONE when no client ever named it, so no window can carry
// a property by that name either.
xcb_atom_t ExistingAtom(xcb_connection_t* connection, std::string_view name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.data()),
        nullptr));
    if (!reply) {
        return XCB_ATOM_NONE;
    }
    return reply->atom;
}

// The whole value of a property in the given format (8 or 32 bits), when the window carries it with
// the given type (XCB_GET_PROPERTY_TYPE_ANY: any type).
Result<std::string> ReadProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                 xcb_atom_t type, std::uint8_t format) {
    if (property == XCB_ATOM_NONE) {
        return Fail("no client named the property");
    }
    std::string value;
    for (std::uint32_t offset = 0;; offset += kPropertyChunk) {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, property, type, offset, kPropertyChunk),
            nullptr));
        if (!reply) {
            return Fail("the server gave no reply");
        }
        if (reply->type == XCB_ATOM_NONE || reply->format != format ||
            (type != XCB_GET_PROPERTY_TYPE_ANY && reply->type != type)) {
            return Fail("the window carries no such property");
        }
        value.append(static_cast<const char*>(xcb_get_property_value(reply.get())),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
        if (reply->bytes_after == 0) {
            return value;
        }
    }
}

std::vector<xcb_window_t> WindowList(std::string_view bytes) {
    std::vector<xcb_window_t> windows(bytes.size() / sizeof(xcb_window_t));
    std::memcpy(windows.data(), bytes.data(), windows.size() * sizeof(xcb_window_t));
    return windows;
}

std::vector<xcb_window_t> Children(xcb_connection_t* connection, xcb_window_t window) {
    const Reply<xcb_query_tree_reply_t> reply(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!reply) {
        return {};
    }
    const xcb_window_t* children = xcb_query_tree_children(reply.get());
    return {children, children + xcb_query_tree_children_length(reply.get())};
}

class TitleReader {
public:
    explicit TitleReader(xcb_connection_t* connection)
        : m_connection(connection), m_netWmName(ExistingAtom(connection, "_NET_WM_NAME")),
          m_utf8String(ExistingAtom(connection, "UTF8_STRING")) {}

    // _NET_WM_NAME (UTF-8) when set, else WM_NAME in whatever encoding the client chose, as bytes.
    Result<std::string> operator()(xcb_window_t window) const {
        if (m_utf8String != XCB_ATOM_NONE) {
            if (Result<std::string> title =
                    ReadProperty(m_connection, window, m_netWmName, m_utf8String, 8)) {
                return title;
            }
        }
        return ReadProperty(m_connection, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 8);
    }

private:
    xcb_connection_t* m_connection;
    xcb_atom_t m_netWmName;
    xcb_atom_t m_utf8String;
};

// Adds the title if there is one; false for an untitled window.
bool AddTitle(std::vector<std::string>& titles, Result<std::string> title) {
    if (!title || title->empty()) {
        return false;
    }
    titles.push_back(std::move(title).value());
    return true;
}

} // namespace

std::vector<std::string> TopLevelWindowTitles() {
    int screenNumber = 0;
    const Connection connection(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection.get())) {
        return {};
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return {};
    }
    const xcb_window_t root = screens.data->root;
    const TitleReader titleOf(connection.get());

    std::vector<std::string> titles;
    const auto clients = ReadProperty(
        connection.get(), root, ExistingAtom(connection.get(), "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32);
    if (clients) {
        for (const xcb_window_t client : WindowList(clients.value())) {
            AddTitle(titles, titleOf(client));
        }
        return titles;
    }
    for (const xcb_window_t child : Children(connection.get(), root)) {
        if (AddTitle(titles, titleOf(child))) {
            continue;
        }
        for (const xcb_window_t grandchild : Children(connection.get(), child)) {
            AddTitle(titles, titleOf(grandchild));
        }
    }
    return titles;
}

} // namespace tarvex
