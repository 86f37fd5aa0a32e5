#include "snapshot/snr_replay.h"

void stopSNR() {}
void clearSNRCounters() {}
void playSNR() {}
