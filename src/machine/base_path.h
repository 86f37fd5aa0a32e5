// Where the program finds ROM/, IMG/ and "Kestrix.ini": the executable's
// directory, or $KESTRIX_HOME when set.
#pragma once

extern char* getbasepath;            // with a trailing separator
extern const char* constCharDirectory;  // "/"

void initBasePath();
void freeBasePath();
// base path + sub + "/" + name into out (512 bytes); sub may be empty.
void buildBasePath(char* out, const char* sub, const char* name);
// The name after the last separator, '/' or '\\', or the whole path.
const char* fileNamePart(const char* path);
// An existing regular file (not a directory).
bool isRegularFile(const char* path);
