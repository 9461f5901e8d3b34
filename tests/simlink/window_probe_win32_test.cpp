// SPDX-License-Identifier: MIT
// The probe against real top-level windows made with the Win32 API (CI runs it under Wine).
#include "simlink/simulator_probe.h"
#include "simlink/window_titles.h"

#include "probe_checks.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {
namespace {

std::wstring WideFromUtf8(std::string_view text) {
    const int length = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

// Top-level windows of the test's own, destroyed when it ends.
class Windows {
public:
    Windows() = default;
    ~Windows() {
        for (HWND window : m_windows) {
            DestroyWindow(window);
        }
    }
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    HWND Create(std::string_view title) {
        HWND window = CreateWindowExW(0, L"STATIC", WideFromUtf8(title).c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                                      200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(window, nullptr) << "CreateWindowExW failed with error " << GetLastError();
        m_windows.push_back(window);
        return window;
    }

    // Moves the window to the top of the Z-order, where the walk starts.
    static void Raise(HWND window) {
        EXPECT_TRUE(SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    }

private:
    std::vector<HWND> m_windows;
};

class Win32Probe : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(FindSimulatorTitle(TopLevelWindowTitles())) << "a simulator window is already open";
    }

    // The listed titles that this test made: they all carry the temporary folder's path.
    std::vector<std::string> OwnTitles() const {
        const std::string tag = m_dir.path().filename().string();
        std::vector<std::string> own;
        for (auto& title : TopLevelWindowTitles()) {
            if (title.find(tag) != std::string::npos) {
                own.push_back(std::move(title));
            }
        }
        return own;
    }

    std::string Tagged(std::string_view text) const {
        return std::string(text) + " " + DisplayPath(m_dir.path());
    }

    test::TempDir m_dir;
    Windows m_windows;
};

TEST_F(Win32Probe, FirstSimulatorWindowInZOrderWins) {
    const auto design = m_dir / "amp";
    const auto second = m_dir / "other" / "amp2";
    std::filesystem::create_directory(second.parent_path());
    HWND first = m_windows.Create(test::ViewerTitle(design));
    m_windows.Create(Tagged("Terminal"));
    HWND other = m_windows.Create(test::ViewerTitle(second));

    Windows::Raise(first);
    ASSERT_EQ(OwnTitles().front(), test::ViewerTitle(design));
    test::ExpectProbeTook(ProbeSimulatorWindow(), design);

    Windows::Raise(other);
    ASSERT_EQ(OwnTitles().front(), test::ViewerTitle(second));
    test::ExpectProbeTook(ProbeSimulatorWindow(), second);
}

TEST_F(Win32Probe, ReadsWholeTitlesAsUtf8) {
    const std::vector<std::string> titles{Tagged("J\xC3\xB6rg \xE2\x82\xAC"), Tagged(std::string(5000, 'x'))};
    for (const auto& title : titles) {
        Windows::Raise(m_windows.Create(title));
    }
    EXPECT_EQ(OwnTitles(), (std::vector<std::string>{titles[1], titles[0]}));
}

} // namespace
} // namespace tarvex
