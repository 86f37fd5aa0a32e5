#include "frontend/monitor_session.h"
#include "frontend/startup.h"

#include <SDL.h>

#include <cstdio>

#include "frontend/csl_runner.h"
#include "frontend/disk_writeback.h"
#include "frontend/frontend_services.h"
#include "frontend/headless.h"
#include "frontend/sound_recording.h"
#include "frontend/icons.h"
#include "frontend/log_output.h"
#include "frontend/main_loop.h"
#include "frontend/missing_rom_window.h"
#include "frontend/osd.h"
#include "frontend/ui_hooks.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/config.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "machine/model.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"
#include "sound/audio_output.h"
#include "video/monitor.h"

namespace {

void shutdown() {
    if (thread) {
        int value = 0;
        SDL_WaitThread(thread, &value);
        thread = nullptr;
        SDL_Log("Thread returned value: %d\n", value);
    }
    endMonitorSession();
    stopWavRecording();
    writeBackAllDisks();
    endCPC();
    uiHooks.shutdown();
    SDL_end();
    freeTextBuffers();
}

// Where ROM/ and Kestrix.ini are looked for, and the IMG/ folder the program would use.
void printDataFolders() {
    initBasePath();
    const std::string shared = sharedDataPath();
    std::printf("files: %s%s%s\n", getbasepath, shared.empty() ? "" : " then ", shared.c_str());
    char images[kTextBufferSize];
    buildBasePath(images, "IMG", "");
    std::printf("IMG: %s%s\n", images, directoryTestExist(images) ? "" : " (missing)");
    freeBasePath();
}

}  // namespace

int kestrixMain(int argc, char** argv) {
    installLogOutput();
    // Answered before SDL, the ROMs or the configuration are touched.
    switch (earlyCommandLineRequest(argc, argv)) {
        case EarlyRequest::Help:
            printHelp(argv[0]);
            return 0;
        case EarlyRequest::Version:
            std::printf("%s\n", KestrixVersionText);
            printDataFolders();
            return 0;
        case EarlyRequest::None: break;
    }
    HeadlessOptions headless;
    if (!extractHeadlessOptions(argc, argv, headless)) {
        printUsage(argv[0]);
        return 2;
    }
    headlessMode = headless.enabled;
    MonitorOptions monitorOptions;
    if (!extractMonitorOptions(argc, argv, monitorOptions)) {
        printUsage(argv[0]);
        return 2;
    }

    storeFlag(mainLoopEnd, 0);
    mainWindow_drop_mfile = false;
    rect_xy = {56, 12, kPictureWidth, kPictureHeight};
    rectdest_xy = {0, 0, kPictureWidth, kPictureHeight};
    mouseX = 0;
    fullscreen = false;
    refreshScreen = false;
    allocateTextBuffers();
    initBasePath();
    beginCPC();
    // The machine draws and loads through these hooks; headless, the drawing ones do nothing.
    installFrontendServices();
    if (!(headlessMode ? SDL_beginHeadless() : SDL_begin())) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "main: %s - SDL_Error: %s\n", "SDL could not be initialized!",
                     SDL_GetError());
        endCPC();
        freeTextBuffers();
        return -1;
    }
    installStopSignals();
    if (!headlessMode) {
        SDL_SetWindowFocus(mWindow);
        SDL_GetWindowPosition(mWindow, &mWindowOldX, &mWindowOldY);
    }
    t_led_disk0 = t_led_disk1 = t_led_k7last = false;
    textDisplayTime = 0;
    textDisplayAlpha = 255;
    t_color = true;
    t_colorG = false;
    storeFlag(t_scanlines, false);
    cpcType = CPC6128;
    cpcLang = LangUK;
    crtcType = 0;
    disable_sound();
    running = 0;
    cpcIsRunning = 0;

    if (!startCPC()) {
        SDL_Log("main: CPC can't be started! \n");
        // A new user learns from the window what is missing and where it goes.
        if (!headlessMode) showMissingRomWindow();
        storeFlag(mainLoopEnd, 1);
        shutdown();
        // Callers need to tell a machine that never ran from a clean run.
        return 1;
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
            storeFlag(mainLoopEnd, 1);
            shutdown();
            return 0;
        }
    }
    parseMainConfigFile();
    if (argc > 1 && !parseCommandLine(argc, argv)) {
        storeFlag(mainLoopEnd, 1);
        shutdown();
        // Scripts tell a refused command line from a help request.
        return headlessMode && !commandLineHelp ? 2 : 0;
    }
    if (!startMonitorSession(monitorOptions)) {
        storeFlag(mainLoopEnd, 1);
        shutdown();
        return 2;
    }

    if (ssmOption) enableSsmOption();
    const bool scriptRead = cslScriptOption.empty() || startCslScript(cslScriptOption);

    int exitCode = 0;
    if (headlessMode) {
        if (!scriptRead) {
            storeFlag(mainLoopEnd, 1);
            shutdown();
            return 1;
        }
        if (namedFileFailures) {
            // The file's own message has been written; running without it would hide the failure.
            storeFlag(mainLoopEnd, 1);
            shutdown();
            return 1;
        }
        run();
        exitCode = runHeadlessFrames(headless);
        if (!stopWavRecording() && exitCode == 0) exitCode = 1;
        // A disk named by a setting is read a little after the start.
        if (namedFileFailures && exitCode == 0) exitCode = 1;
        running = 0;
        storeFlag(mainLoopEnd, 1);
    } else {
        endisable_sound();  // after -n this toggle leaves the sound off
        run();
        frameLimit = SDL_GetTicks() + fpsDisplay;
        if (mWindow) SDL_ShowWindow(mWindow);
        runMainLoop();
        stopWavRecording();
        storeFlag(mainLoopEnd, 1);
    }
    shutdown();
    // Each failed disk write has said which file and why; a script must not take the run for a success.
    if (headlessMode && exitCode == 0 && diskWriteFailures()) exitCode = 1;
    return exitCode;
}
