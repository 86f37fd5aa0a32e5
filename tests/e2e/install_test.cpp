// An install into an empty prefix runs, finds its images there and the ROMs in the user's folder; the Debian
// package holds the program, its desktop entry and its man page.
#include <gtest/gtest.h>
#include <unistd.h>

#include "e2e/headless_run.h"

TEST(Install, PrefixFindsItsFilesAndPackagesAsADeb) {
    TempKestrixHome user(false);
    const std::string build = KESTRIX_BUILD_DIR, prefix = user.path() + "/prefix", deb = user.path() + "/deb";
    const std::string kestrix = "env -u KESTRIX_HOME HOME=" + shellQuote(user.path()) + " XDG_DATA_HOME= " +
                                shellQuote(prefix + "/bin/kestrix");
    std::string out;
    ASSERT_EQ(runCommand("cmake --install " + shellQuote(build) + " --prefix " + shellQuote(prefix), &out), 0) << out;
    ASSERT_EQ(runCommand(kestrix + " --version", &out), 0) << out;
    EXPECT_NE(out.find("files: " + user.path() + "/.local/share/kestrix/ then " + prefix + "/share/kestrix/\n" +
                       "IMG: " + prefix + "/share/kestrix/IMG/\n"), std::string::npos) << out;
    if (sharedRomsPresent()) {
        ASSERT_EQ(symlink(sharedPath("roms").c_str(), (user.path() + "/.local/share/kestrix/ROM").c_str()), 0);
        EXPECT_EQ(runCommand(kestrix + " --headless --frames=2", &out), 0) << out;
    }
    ASSERT_EQ(runCommand("cpack -G DEB --config " + shellQuote(build + "/CPackConfig.cmake") + " -B " +
                         shellQuote(deb) + " && dpkg -c " + shellQuote(deb) + "/kestrix_*.deb", &out), 0) << out;
    for (const char* file : {"./usr/bin/kestrix", "./usr/share/applications/kestrix.desktop",
                             "./usr/share/man/man6/kestrix.6", "./usr/share/kestrix/IMG/"})
        EXPECT_NE(out.find(file), std::string::npos) << file << " not in the package:\n" << out;
}
