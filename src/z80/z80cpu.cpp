#include "z80/z80cpu.h"
