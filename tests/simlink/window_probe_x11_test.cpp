// SPDX-License-Identifier: MIT
// The probe against real top-level windows on the X display named by DISPLAY (.ci/run and
// ./dev.sh test start Xvfb for it).
#include "simlink/simulator_probe.h"
#include "simlink/window_titles.h"

#include "probe_checks.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarvex {
namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};

// A connection of the test's own, and the windows it made; both go when the test ends.
class Display {
public:
    Display() : m_connection(xcb_connect(nullptr, nullptr)) {}
    ~Display() {
        for (const xcb_window_t window : m_windows) {
            xcb_destroy_window(m_connection, window);
        }
        if (m_clientList != XCB_ATOM_NONE) {
            xcb_delete_property(m_connection, root(), m_clientList);
        }
        Sync();
        xcb_disconnect(m_connection);
    }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    bool opened() const { return xcb_connection_has_error(m_connection) == 0; }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root; }

    xcb_atom_t Atom(std::string_view name) {
        const std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> reply(xcb_intern_atom_reply(
            m_connection,
            xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
        if (!reply) {
            return XCB_ATOM_NONE;
        }
        return reply->atom;
    }

    // A mapped window under parent (the root by default), titled by _NET_WM_NAME when title is set.
    xcb_window_t Create(std::string_view title, xcb_window_t parent = XCB_WINDOW_NONE) {
        const xcb_window_t window = xcb_generate_id(m_connection);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window,
                          parent == XCB_WINDOW_NONE ? root() : parent, 0, 0, 64, 48, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        if (!title.empty()) {
            SetText(window, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), title);
        }
        xcb_map_window(m_connection, window);
        m_windows.push_back(window);
        return window;
    }

    void SetText(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, std::string_view text) {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                            static_cast<std::uint32_t>(text.size()), text.data());
    }

    // Lists clients in _NET_CLIENT_LIST as a window manager would; removed again at the end.
    void PublishClientList(const std::vector<xcb_window_t>& clients) {
        m_clientList = Atom("_NET_CLIENT_LIST");
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, root(), m_clientList, XCB_ATOM_WINDOW, 32,
                            static_cast<std::uint32_t>(clients.size()), clients.data());
    }

    void Raise(xcb_window_t window) {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }

    // Returns once the server has carried out every request so far.
    void Sync() {
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    // True when a window manager publishes its own client list, which the tests must not replace.
    bool HasWindowManagerList() {
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(m_connection, 0, root(), Atom("_NET_CLIENT_LIST"), XCB_ATOM_ANY, 0, 0);
        const std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(
            xcb_get_property_reply(m_connection, cookie, nullptr));
        return reply && reply->type != XCB_ATOM_NONE;
    }

private:
    xcb_connection_t* m_connection;
    std::vector<xcb_window_t> m_windows;
    xcb_atom_t m_clientList = XCB_ATOM_NONE;
};

class X11Probe : public testing::Test {
protected:
    void SetUp() override {
        if (!m_display.opened()) {
            const char* name = std::getenv("DISPLAY");
            GTEST_SKIP() << "no X display could be opened (DISPLAY=" << (name ? name : "unset")
                         << "); .ci/run and ./dev.sh test start Xvfb for this test";
        }
        ASSERT_FALSE(FindSimulatorTitle(TopLevelWindowTitles()))
            << "a simulator window is already open on this display";
    }

    // The listed titles that this test made (they all carry the temporary folder's path), waiting
    // up to five seconds for a window manager to list count of them.
    std::vector<std::string> OwnTitles(std::size_t count) {
        const std::string tag = m_dir.path().filename().string();
        std::vector<std::string> own;
        for (int attempt = 0; attempt < 50; ++attempt) {
            own.clear();
            for (auto& title : TopLevelWindowTitles()) {
                if (title.find(tag) != std::string::npos) {
                    own.push_back(std::move(title));
                }
            }
            if (own.size() >= count) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return own;
    }

    std::string Tagged(std::string_view text) const {
        return std::string(text) + " " + m_dir.path().string();
    }

    test::TempDir m_dir;
    Display m_display;
};

TEST_F(X11Probe, FirstSimulatorWindowInOrderWins) {
    const auto design = m_dir / "amp";
    const auto second = m_dir / "other" / "amp2";
    std::filesystem::create_directory(second.parent_path());
    m_display.Create(test::ViewerTitle(design));
    m_display.Create(Tagged("Terminal"));
    m_display.Create(test::ViewerTitle(second));
    m_display.Sync();
    ASSERT_EQ(OwnTitles(3), (std::vector<std::string>{test::ViewerTitle(design), Tagged("Terminal"),
                                                      test::ViewerTitle(second)}));

    test::ExpectProbeTook(ProbeSimulatorWindow(), design);
}

TEST_F(X11Probe, ReadsWholeTitlesPreferringNetWmName) {
    const std::string longTitle = Tagged(std::string(10000, 'x'));
    const xcb_window_t both = m_display.Create(Tagged("utf-8 \xC3\xB6"));
    m_display.SetText(both, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, Tagged("legacy"));
    const xcb_window_t legacy = m_display.Create({});
    m_display.SetText(legacy, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, Tagged("latin-1 \xF6"));
    const xcb_window_t mistyped = m_display.Create({});
    m_display.SetText(mistyped, m_display.Atom("_NET_WM_NAME"), XCB_ATOM_STRING, Tagged("mistyped"));
    m_display.SetText(mistyped, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, Tagged("fallback"));
    m_display.Create(longTitle);
    m_display.Sync();

    EXPECT_EQ(OwnTitles(4), (std::vector<std::string>{Tagged("utf-8 \xC3\xB6"), Tagged("latin-1 \xF6"),
                                                      Tagged("fallback"), longTitle}));
}

TEST_F(X11Probe, WithoutWindowManagerFollowsStackAndLooksIntoFrames) {
    if (m_display.HasWindowManagerList()) {
        GTEST_SKIP() << "a window manager lists the clients on this display";
    }
    const auto raised = m_dir / "amp";
    const auto framed = m_dir / "other" / "amp2";
    std::filesystem::create_directory(framed.parent_path());
    const xcb_window_t first = m_display.Create(test::ViewerTitle(raised));
    m_display.Create(Tagged("inside a titled window"), first);
    const xcb_window_t frame = m_display.Create({});
    m_display.Create(test::ViewerTitle(framed), frame);
    m_display.Create(Tagged("top"));
    m_display.Raise(first);
    m_display.Sync();

    // The server lists the root's children from the bottom of the stack up.
    EXPECT_EQ(OwnTitles(3), (std::vector<std::string>{test::ViewerTitle(framed), Tagged("top"),
                                                      test::ViewerTitle(raised)}));
    test::ExpectProbeTook(ProbeSimulatorWindow(), framed);
}

TEST_F(X11Probe, PublishedClientListGivesTheOrder) {
    if (m_display.HasWindowManagerList()) {
        GTEST_SKIP() << "a window manager lists the clients on this display";
    }
    const xcb_window_t a = m_display.Create(Tagged("a"));
    const xcb_window_t b = m_display.Create(Tagged("b"));
    m_display.Create(Tagged("unlisted"));
    const xcb_window_t frame = m_display.Create({});
    const xcb_window_t framed = m_display.Create(Tagged("framed"), frame);
    m_display.PublishClientList({b, framed, a});
    m_display.Sync();

    EXPECT_EQ(OwnTitles(3), (std::vector<std::string>{Tagged("b"), Tagged("framed"), Tagged("a")}));
}

} // namespace
} // namespace tarvex
