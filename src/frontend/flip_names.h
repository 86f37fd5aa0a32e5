// The naming rule of multi-part sets, shared by the disk and the tape flip:
// "Face A" and "Face B", "Side 1" and "Side 2", "Disk 1A" and "Disk 1B".
#pragma once
#include <string>
#include <vector>

// Every name the set rules make of a file name, in the order they are tried.
std::vector<std::string> flipSideNameCandidates(const std::string& name);
// The first candidate for `name` that exists in `directory` (which ends in a
// separator or is empty), as a path; "" when none does.
std::string findOtherSide(const std::string& directory, const char* name);
