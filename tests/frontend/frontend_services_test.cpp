#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "frontend/frontend_services.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"

namespace {

// Every member of the table is a function pointer: its slots, to compare tables whole.
constexpr size_t kHookCount = sizeof(FrontendHooks) / sizeof(void (*)());
static_assert(sizeof(FrontendHooks) == kHookCount * sizeof(void (*)()));

std::array<uintptr_t, kHookCount> slotsOf(const FrontendHooks& hooks) {
    std::array<uintptr_t, kHookCount> slots{};
    std::memcpy(slots.data(), &hooks, sizeof hooks);
    return slots;
}

}  // namespace

TEST(FrontendServices, WithAWindowTheOneInstallerFillsEveryHook) {
    const bool headless = headlessMode;
    headlessMode = false;
    installFrontendServices();
    const auto installed = slotsOf(frontendHooks);
    const auto idle = slotsOf(FrontendHooks{});
    headlessMode = true;
    frontendHooks = FrontendHooks{};
    installFrontendServices();
    const auto withoutWindow = slotsOf(frontendHooks);
    frontendHooks = FrontendHooks{};
    headlessMode = headless;

    size_t drawnOnlyInAWindow = 0;
    for (size_t i = 0; i < kHookCount; ++i) {
        EXPECT_NE(installed[i], idle[i]) << "hook " << i << " of FrontendHooks is left doing nothing";
        if (withoutWindow[i] == idle[i]) ++drawnOnlyInAWindow;
        else EXPECT_EQ(withoutWindow[i], installed[i]) << "hook " << i;
    }
    // Headless, the loading, autorun and option services are there; the drawing is not.
    EXPECT_EQ(kHookCount - drawnOnlyInAWindow, 13u);
    EXPECT_EQ(withoutWindow[0], idle[0]) << "no icon is drawn headless";
}

TEST(FrontendServices, TheCoreRunsOnTheIdleHooks) {
    FrontendHooks idle;
    idle.redrawModelIcon();
    idle.showPauseScreen("paused");
    idle.showOSDText("text");
    idle.showTapeBlockText(3);
    idle.joystickCheckOnReset();
    EXPECT_TRUE(idle.loadMediaFile("Game.dsk", 0)) << "a file named without a loader is no failure";
    EXPECT_TRUE(idle.setDiskWritePolicy("copy"));
    EXPECT_FALSE(idle.createNewDisk("new.dsk")) << "no disk is made, so none is loaded";
}
