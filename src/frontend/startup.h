// The program's start-up, main loop entry and shutdown.
#pragma once

int kestrixMain(int argc, char** argv);
