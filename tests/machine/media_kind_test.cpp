#include <gtest/gtest.h>

#include <string>

#include "machine/base_path.h"
#include "machine/media_kind.h"

TEST(PathParts, EitherSeparatorSplitsAtTheLastOne) {
    struct Case {
        const char* path;
        const char* directory;
        const char* name;
    };
    for (const Case& c : {Case{"games/cpc/Game.dsk", "games/cpc/", "Game.dsk"},
                          Case{"C:\\cpc\\Game.dsk", "C:\\cpc\\", "Game.dsk"},
                          Case{"cpc/side a\\Game.dsk", "cpc/side a\\", "Game.dsk"},
                          Case{"/Game.dsk", "/", "Game.dsk"}, Case{"Game.dsk", "", "Game.dsk"},
                          Case{"games/", "games/", ""}, Case{"", "", ""}}) {
        EXPECT_EQ(directoryPart(c.path), c.directory) << c.path;
        EXPECT_STREQ(fileNamePart(c.path), c.name) << c.path;
        EXPECT_EQ(directoryPart(c.path) + fileNamePart(c.path), c.path) << "the two parts make the path again";
    }
}

TEST(MediaKinds, EveryExtensionInAnyCaseAndNothingElse) {
    struct Case {
        const char* path;
        MediaClass media;
        char code;
    };
    for (const Case& c : {Case{"a.dsk", MediaClass::Disk, 'd'}, Case{"a.RAW", MediaClass::Disk, 'r'},
                          Case{"a.Ipf", MediaClass::Disk, 'i'}, Case{"a.hfe", MediaClass::Disk, 'h'},
                          Case{"a.cdt", MediaClass::Tape, 'c'}, Case{"a.TZX", MediaClass::Tape, 'c'},
                          Case{"a.wav", MediaClass::Tape, 'w'}, Case{"a.csw", MediaClass::Tape, 's'},
                          Case{"a.sna", MediaClass::Snapshot, 0}, Case{"a.SNR", MediaClass::Snapshot, 0},
                          Case{"dir\\a.b.cpr", MediaClass::Cartridge, 0}}) {
        const MediaKind* kind = mediaKindOfPath(c.path);
        ASSERT_NE(kind, nullptr) << c.path;
        EXPECT_EQ(kind->media, c.media) << c.path;
        EXPECT_EQ(kind->code, c.code) << c.path;
    }
    // The extension is the file name's: a dot in a directory does not count.
    for (const char* path : {"Game", "Game.", "games.dsk/Game", "games.dsk\\Game", ".dsk/"}) {
        EXPECT_EQ(fileExtension(path), nullptr) << path;
        EXPECT_EQ(mediaKindOfPath(path), nullptr) << path;
    }
    EXPECT_STREQ(fileExtension("dir.x/Game.tar.gz"), "gz");
    EXPECT_EQ(mediaKindOfPath("Game.dsk.bak"), nullptr);
    EXPECT_EQ(mediaKindOfPath("Game.ds"), nullptr);
    EXPECT_EQ(mediaKindOfPath("Game.dskx"), nullptr);
}
