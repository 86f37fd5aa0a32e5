// The main thread's loop: presentation and event dispatch until the end.
#pragma once

void runMainLoop();
