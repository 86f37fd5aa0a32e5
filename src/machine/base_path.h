// Where the program finds ROM/, IMG/ and "Kestrix.ini": the executable's
// directory, or $KESTRIX_HOME when set.
#pragma once
#include <string>

extern char* getbasepath;            // with a trailing separator
extern const char* constCharDirectory;  // "/"

void initBasePath();
void freeBasePath();
// base path + sub + "/" + name into out (512 bytes); sub may be empty.
void buildBasePath(char* out, const char* sub, const char* name);
// A path splits at its last separator, '/' or '\\', into these two parts.
// The name after the last separator, or the whole path.
const char* fileNamePart(const char* path);
// The directory up to and with the last separator, or "" when there is none.
std::string directoryPart(const char* path);
// An existing regular file (not a directory).
bool isRegularFile(const char* path);
