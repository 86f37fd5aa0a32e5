// The main configuration file "Kestrix.ini" and the command line.
#pragma once

bool parseMainConfigFile();
bool parseCommandLine(int argc, char** argv);
void printUsage(const char* programName);

// Applies a CRTC type given as text ("0".."4"); false for any other text.
bool applyCrtcTypeText(const char* text);
