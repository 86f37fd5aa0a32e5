#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frontend/flip_names.h"

TEST(FlipNames, SetRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(flipSideNameCandidates("Game (Face A).dsk"), V{"Game (Face B).dsk"});
    EXPECT_EQ(flipSideNameCandidates("Disk 1A.dsk"), V{"Disk 1B.dsk"});
    EXPECT_EQ(flipSideNameCandidates("Side 3.cdt"), V{"Side 4.cdt"});
    EXPECT_EQ(flipSideNameCandidates("side 6b.cdt"), V{"side 6a.cdt"});
    EXPECT_EQ(flipSideNameCandidates("SIDE d.cdt"), V{"SIDE c.cdt"});
    EXPECT_EQ(flipSideNameCandidates("side 7.cdt side 2.cdt"), V{"side 7.cdt side 1.cdt"});
    EXPECT_TRUE(flipSideNameCandidates("Game.cdt").empty());
    EXPECT_TRUE(flipSideNameCandidates("Game side ").empty());
}

TEST(FlipNames, TheFirstCandidateThatExistsBesideTheFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kestrix-flip-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string base = dir.string() + "/";
    // "Face A" is tried before "Side 1": its "Face B" is absent, "Side 2" is there.
    std::ofstream(base + "Game Face A Side 2.dsk") << "x";
    fs::create_directory(base + "Other Face B.dsk");  // a directory is no disk
    EXPECT_EQ(findOtherSide(base, "Game Face A Side 1.dsk"), base + "Game Face A Side 2.dsk");
    EXPECT_EQ(findOtherSide(base, (base + "Game Face A Side 1.dsk").c_str()), base + "Game Face A Side 2.dsk")
        << "the name is taken after the last separator of the path";
    std::ofstream(base + "Game Face B Side 1.dsk") << "x";
    EXPECT_EQ(findOtherSide(base, "Game Face A Side 1.dsk"), base + "Game Face B Side 1.dsk") << "the first wins";
    EXPECT_EQ(findOtherSide(base, "Other Face A.dsk"), "");
    EXPECT_EQ(findOtherSide(base, ""), "");
    EXPECT_EQ(findOtherSide(base, nullptr), "");
    fs::remove_all(dir);
}
