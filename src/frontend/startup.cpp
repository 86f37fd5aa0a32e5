#include "frontend/startup.h"

#include <SDL.h>

#include "frontend/headless.h"
#include "frontend/main_loop.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/config.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/text_buffers.h"
#include "sound/audio_output.h"

namespace {

void shutdown() {
    if (thread) {
        int value = 0;
        SDL_WaitThread(thread, &value);
        thread = nullptr;
        SDL_Log("Thread returned value: %d\n", value);
    }
    endCPC();
    SDL_end();
    freeTextBuffers();
}

}  // namespace

int kestrixMain(int argc, char** argv) {
    HeadlessOptions headless;
    if (!extractHeadlessOptions(argc, argv, headless)) return 1;
    headlessMode = headless.enabled;

    mainLoopEnd = 0;
    refreshScreen = false;
    allocateTextBuffers();
    initBasePath();
    beginCPC();
    if (!(headlessMode ? SDL_beginHeadless() : SDL_begin())) {
        freeTextBuffers();
        return -1;
    }
    cpcType = CPC6128;
    cpcLang = LangUK;
    crtcType = 0;
    running = 0;
    cpcIsRunning = 0;

    if (!startCPC()) {
        SDL_Log("main: CPC can't be started! \n");
        mainLoopEnd = 1;
        shutdown();
        // Headless callers need to tell a machine that never ran from a clean run.
        return headlessMode ? 1 : 0;
    }
    threadID = SDL_ThreadID();
    SDL_version version;
    SDL_GetVersion(&version);
    SDL_Log("%s running on %s with %d MB using SDL v%d.%d.%d on a multithread system. %s", KestrixVersionText,
            SDL_GetPlatform(), SDL_GetSystemRAM(), version.major, version.minor, version.patch,
            "(built " __DATE__ ")");

    if (!headlessMode) {
        thread = SDL_CreateThread(runCPC, "runCPC", nullptr);
        if (!thread) {
            SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "main: %s - SDL_Error: %s\n",
                         "cannot create a second CPU thread !", SDL_GetError());
            mainLoopEnd = 1;
            shutdown();
            return 0;
        }
    }
    parseMainConfigFile();
    if (argc > 1 && !parseCommandLine(argc, argv)) {
        mainLoopEnd = 1;
        shutdown();
        return 0;
    }

    int exitCode = 0;
    if (headlessMode) {
        run();
        exitCode = runHeadlessFrames(headless);
        running = 0;
        mainLoopEnd = 1;
    } else {
        endisable_sound();  // after -n this toggle leaves the sound off
        run();
        frameLimit = SDL_GetTicks() + fpsDisplay;
        if (mainWindow) SDL_ShowWindow(mainWindow);
        runMainLoop();
        mainLoopEnd = 1;
    }
    shutdown();
    return exitCode;
}
