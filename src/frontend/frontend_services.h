// The one installer of the machine's front-end hooks (machine/frontend_hooks.h).
#pragma once

// Fills frontendHooks: media loading, autorun, window placement and the input
// options always; the icon, pause screen and on-screen text drawing only with a
// window (headlessMode clear), so a headless run leaves those doing nothing.
void installFrontendServices();
