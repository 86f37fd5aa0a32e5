// Writes the seed corpora of the fuzz targets with the tests' own image
// writers: kestrix_fuzz_seeds <corpus directory>. Regression inputs found by
// fuzzing sit beside the seeds and are left alone.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "disk/disk_test_support.h"
#include "tape/tape_test_support.h"

namespace fs = std::filesystem;

namespace {

fs::path root;

void seed(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    fs::create_directories(root / target);
    std::ofstream(root / target / ("seed-" + name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void seedText(const std::string& target, const std::string& name, const std::string& text) {
    seed(target, name, std::vector<uint8_t>(text.begin(), text.end()));
}

void disks() {
    using namespace disk_test;
    seed("dsk", "standard", buildImage({standardTrack(0, 0, 2), standardTrack(1, 0, 2)}, 2, 1, false));
    Track odd = standardTrack(0, 0, 5);
    odd.sectors[0].ST1 = 0x20;
    odd.sectors[0].ST2 = 0x20;
    odd.sectors[1].ST1 = 0x01;
    odd.sectors[1].ST2 = 0x01;
    odd.sectors[2].data.resize(3 * 512, 0x5A);  // weak
    odd.sectors[3].data.resize(700, 0x00);      // runs on
    odd.sectors[4].data.resize(40);             // short
    seed("dsk", "extended-odd", buildImage({odd, standardTrack(1, 0, 1)}, 2, 1, true));
    seed("dsk", "extended-two-sides", buildImage({standardTrack(0, 0, 1), standardTrack(0, 1, 1)}, 1, 2, true));
}

void tapes() {
    seed("cdt", "every-block", cdtOfEveryBlock());
    Bytes standard = cdtHeader();
    Bytes block = cdtStandardBlock({0x2C, 'H', 'I', 0x00, 0x01}, 100);
    standard.insert(standard.end(), block.begin(), block.end());
    seed("cdt", "standard", standard);
    std::vector<tapePulse> pulses = somePulses();
    seed("csw", "v1-rle", cswFromPulses(pulses, 44100, 1));
    seed("csw", "v2-zrle", cswFromPulses(pulses, 22050, 2));
    pulses.resize(60);
    seed("wav", "mono-8", wavFromPulses(pulses, 44100, 8));
    seed("wav", "mono-16", wavFromPulses(pulses, 22050, 16));
    seed("wav", "stereo-8", wavFromPulses(pulses, 11025, 8, 2));
}

void settings() {
    seedText("ini", "models", "[kestrix]\ncpc=464\nlang=fr\ncrtc=1\nmem=576\nscanl=y\n");
    seedText("ini", "default-skip", "; comment\ndefault=y\ncpc=664\ndefault=n\nvolsound=64\ndigib=y\n");
    seedText("ini", "media", "nrom=7\nurom=ROM/none.rom\ndsk0=a=b.dsk\ncdt=t\xE9.cdt\nauto=cat\nfilepathscr=/tmp\n");
    seedText("cmdline", "models", "-c\n464\n--mem=128\n-t\n2\n-x\n-v\n64");
    seedText("cmdline", "media", std::string("-0\nA.dsk\n-1\nB.dsk\n-k\nt.cdt\n-e\n-a\nrun\"x") + '\0' + "-u\n3");
    seedText("cmdline", "bad", "--mem=\n-q\n--nosuch=1\n-u\n256");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    root = argv[1];
    disks();
    tapes();
    settings();
    return 0;
}
