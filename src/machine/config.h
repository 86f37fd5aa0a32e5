// The main configuration file "Kestrix.ini" and the command line.
#pragma once
#include <string>

bool parseMainConfigFile();
bool parseCommandLine(int argc, char** argv);
void printUsage(const char* programName);
// The usage text on standard output, for a help request.
void printHelp(const char* programName);

// Help and version requests, answered before anything else starts.
enum class EarlyRequest { None, Help, Version };
EarlyRequest earlyCommandLineRequest(int argc, char** argv);

// Applies a CRTC type given as text ("0".."4"); false for any other text.
bool applyCrtcTypeText(const char* text);

// Files named by a setting or an option that failed to load (or were refused)
// since the program started; headless runs end with 1 when there are any.
extern int namedFileFailures;
// parseCommandLine returned false because help was asked for.
extern bool commandLineHelp;

// --csl=FILE (the script to run, empty for none) and --ssm.
extern std::string cslScriptOption;
extern bool ssmOption;
