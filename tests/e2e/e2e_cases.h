// Whole-machine runs named by a command line, in the notation of the golden
// frames table: words split on spaces, a word in single quotes kept whole,
// $MEDIA/NAME a copy of a shared media file in the run's base directory and
// $CART/NAME a cartridge holding the assembled test program NAME in bank 0.
#pragma once
#include <string>
#include <vector>

#include "e2e/headless_run.h"

namespace e2e {

std::vector<std::string> splitOptions(const std::string& line);
// The options with their files put into `home`; false, with the reason, when
// a file the line names is not there.
bool prepareOptions(const TempKestrixHome& home, const std::string& line, std::vector<std::string>& options,
                    std::string& missing);

}  // namespace e2e
