// Where the program finds ROM/, IMG/ and "Kestrix.ini": $KESTRIX_HOME when
// set; else, from a build tree (IMG/ beside the executable), the executable's
// directory; else, installed as PREFIX/bin/kestrix, the user's folder
// ($XDG_DATA_HOME/kestrix/, by default ~/.local/share/kestrix/), which is also
// where everything is written, then PREFIX/share/kestrix/.
#pragma once
#include <string>

extern char* getbasepath;            // with a trailing separator
extern const char* constCharDirectory;  // "/"

void initBasePath();
void freeBasePath();
// base path + sub + "/" + name into out (512 bytes); sub may be empty.
// Installed, the shared folder's file when only it exists.
void buildBasePath(char* out, const char* sub, const char* name);
// PREFIX/share/kestrix/ of an installed program; empty otherwise.
std::string sharedDataPath();
// A path splits at its last separator, '/' or '\\', into these two parts.
// The name after the last separator, or the whole path.
const char* fileNamePart(const char* path);
// The directory up to and with the last separator, or "" when there is none.
std::string directoryPart(const char* path);
// An existing regular file (not a directory).
bool isRegularFile(const char* path);
