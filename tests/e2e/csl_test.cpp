// CSL scripts run headless from tests/e2e/scripts, copied into a throw-away
// directory (they write beside themselves); what they typed and loaded is
// read back from their screenshots.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "e2e/headless_run.h"
#include "support/shared_files.h"
#include "support/sna_test_support.h"
#include "support/temp_home.h"

using namespace test_support;
namespace fs = std::filesystem;

namespace {

const std::string kScripts = std::string(KESTRIX_TEST_SOURCE_DIR) + "/e2e/scripts/";

// Runs `script` (written into the home, which holds copies of the repository's scripts).
HeadlessResult runScript(const TempKestrixHome& home, const std::string& script) {
    for (const char* name : {"basic.csl", "basic_keys.txt", "disk.csl", "tape.csl", "ssm.csl"})
        fs::copy_file(kScripts + name, home.file(name), fs::copy_options::overwrite_existing);
    home.writeFile("main.csl", script);
    return runKestrixHeadless(home.path(), {"--csl=" + home.file("main.csl")});
}

std::string screenOf(const std::string& png) {
    RgbaImage image;
    RomFont font;
    if (!loadPngImage(png, image) || !font.loadFromOsRom(sharedOsRom("6128"))) return "(no picture " + png + ")";
    return readScreenText(image, font).dump();
}

}  // namespace

TEST(Csl, TypedProgramReadsBackAndRunsTheSameEveryTime) {
    SKIP_WITHOUT_SHARED(kSharedOsRom6128);
    TempKestrixHome home;
    std::vector<uint8_t> first;
    for (int run = 0; run < 2; ++run) {
        const HeadlessResult r = runScript(home, "csl_load 'basic.csl'\r\n");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(screenOf(home.file("shots/listing.png")).find("10 PRINT \"CSL\";6*7"), std::string::npos);
        const std::string output = screenOf(home.file("shots/output.png"));
        EXPECT_NE(output.find("CSL 42"), std::string::npos) << output;
        EXPECT_NE(output.find("FROM FILE"), std::string::npos) << output;
        const std::vector<uint8_t> picture = fileBytes(home.file("shots/output.png"));
        if (run == 0) first = picture;
        else EXPECT_TRUE(picture == first) << "the same script gave another picture";
    }
}

TEST(Csl, DiskAndTapeFromTheSharedMedia) {
    SKIP_WITHOUT_SHARED(kSharedOsRom6128, "media/cpcrogue.dsk", "media/cpcrogue.cdt");
    TempKestrixHome home;
    const std::string media = sharedPath("media");
    HeadlessResult r = runScript(home, "disk_dir '" + media + "'\ncsl_load 'disk.csl'\n");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(screenOf(home.file("disk.png")).find("PRESS ENTER TO START"), std::string::npos);
    r = runScript(home, "tape_dir '" + media + "'\ncsl_load 'tape.csl'\n");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(screenOf(home.file("tape.png")).find("Loading GAME block 1"), std::string::npos);
    EXPECT_EQ(sna_test::text(fileBytes(home.file("tape.sna"))).substr(0, 8), "MV - SNA");
}

TEST(Csl, SsmCodesTakeScreenshotsWhereTheProgramRunsThem) {
    const std::vector<uint8_t> program = fileBytes(std::string(KESTRIX_PROGRAM_BIN_DIR) + "/ssm_codes.bin");
    if (program.empty()) GTEST_SKIP() << "ssm_codes.bin not assembled (pasmo missing)";
    SKIP_WITHOUT_SHARED(kSharedOsRom6128);
    TempKestrixHome home;
    // A 64K snapshot that starts the program at &4000.
    std::vector<uint8_t> sna = sna_test::header(1, 64, 2);
    sna[0x24] = 0x40;
    sna.resize(256 + 65536);
    std::copy(program.begin(), program.end(), sna.begin() + 256 + 0x4000);
    home.write("ssm.sna", sna);
    const HeadlessResult r = runScript(home, "csl_load 'ssm.csl'\n");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::string codes;
    for (size_t at = r.output.find("ssm: code "); at != std::string::npos; at = r.output.find("ssm: code ", at + 1))
        codes += r.output.substr(at + 10, 4) + " ";
    EXPECT_EQ(codes, "FFFE 3D3E FFFE 0000 ");
    // Red at the first code, green at the second and after code 0000.
    const std::pair<const char*, uint32_t> shots[] = {
        {"first", 0xF30506}, {"Kestrix_1_FFFE", 0x02F001}, {"last", 0x02F001}};
    for (const auto& [name, rgb] : shots) {
        RgbaImage image;
        ASSERT_TRUE(loadPngImage(home.file(std::string("shots/") + name + ".png"), image)) << name;
        EXPECT_EQ(image.at(384, 270), abgrFromRgb(rgb)) << name;
    }
}

TEST(Csl, EveryErrorStopsTheScriptWithOneReport) {
    SKIP_WITHOUT_SHARED(kSharedOsRom6128);
    TempKestrixHome home;
    const std::pair<const char*, const char*> cases[] = {
        {"frobnicate 1", "line 3: frobnicate: unknown instruction"},
        {"wait soon", "line 3: wait: a number expected, not soon"},
        {"crtc_select 7", "line 3: crtc_select: CRTC type 0, 1, 1A, 1B, 2, 3 or 4 expected"},
        {"key_output 'a\\(XYZ)'", "line 3: key_output: unknown key \\(XYZ)"},
        {"disk_insert 'absent.dsk'", "line 3: disk_insert: file not found"},
        {"csl_load 'main.csl'", "line 3: csl_load: script @/main.csl loads itself"},
    };
    for (auto [line, report] : cases) {
        std::string expected = report;
        if (const size_t at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, home.path());
        const HeadlessResult r = runScript(home, std::string("csl_version 1.1\n\twait 10 ; ok\n") + line + "\nwait 1\n");
        EXPECT_EQ(r.exitCode, 1) << line;
        EXPECT_NE(r.output.find("csl: " + home.file("main.csl") + " " + expected), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("(script declares version 1.1; Kestrix reads 1.1, accepting 1.0 to 1.4)"),
                  std::string::npos);
        EXPECT_EQ(r.output.find("script ended"), std::string::npos) << line;
    }
}
