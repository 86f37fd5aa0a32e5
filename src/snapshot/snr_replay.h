// SNR input replay.
#pragma once

void stopSNR();
void clearSNRCounters();
void playSNR();
