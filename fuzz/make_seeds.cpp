// Writes the seed corpora of the fuzz targets with the tests' own image
// writers: kestrix_fuzz_seeds <corpus directory>. Regression inputs found by
// fuzzing sit beside the seeds and are left alone.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/asic_test_support.h"
#include "support/disk_image_writers.h"
#include "support/disk_test_support.h"
#include "support/sna_test_support.h"
#include "support/tape_test_support.h"

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
    const char* names[] = {"standard", "extended-odd", "extended-two-sides"};
    const std::vector<std::vector<uint8_t>> images = disk_test::sampleImages();
    for (size_t i = 0; i < images.size(); ++i) seed("dsk", names[i], images[i]);
    // A standard image whose second block names another track and whose file is cut in its third.
    std::vector<uint8_t> cut = disk_test::buildImage({disk_test::standardTrack(0), disk_test::standardTrack(1),
                                                      disk_test::standardTrack(2)}, 3, 1, false);
    cut[0x100 + 0x1300 + 0x10] = 39;
    cut.resize(0x100 + 2 * 0x1300 + 0x400);
    seed("dsk", "standard-misnumbered-cut", cut);
}

// The preservation formats, from the tracks the DSK loader builds of a small disk.
void preservationDisks() {
    using namespace disk_test;
    const std::string dsk = writeTempFile("seed.dsk", buildImage({standardTrack(0, 0, 2), standardTrack(1, 0, 2)}, 2, 1, false));
    int sides = 0;
    std::vector<MfmTrack> tracks = tracksOfDsk(dsk, sides);
    tracks.resize(std::min<size_t>(tracks.size(), 2));  // the formatted ones
    seed("hfe", "two-tracks", writeHFE(tracks, 2, sides));
    IpfDisk ipf;
    ipf.maxTrack = 1;
    std::vector<RawTrack> raw;
    for (const MfmTrack& t : tracks) {
        ipf.tracks.push_back(ipfTrackFromWords(t));
        const std::vector<uint8_t> bytes = wordsToBytes(t.words);
        raw.push_back({t.track, t.side, {bytes, bytes, bytes}});
    }
    seed("ipf", "two-tracks", writeIPF(ipf));
    IpfDisk fuzzy = ipf;
    fuzzy.tracks[0] = ipfTrackFromWords(tracks[0], 100, 64);
    seed("ipf", "fuzzy", writeIPF(fuzzy));
    seed("raw", "two-tracks", writeRAW(raw));
}

void snapshots() {
    std::vector<uint8_t> dump = sna_test::header(3, 64, 2);
    dump.resize(256 + 65536, 0);
    sna_test::chunk(dump, "DSCA", {'a', '.', 'd', 's', 'k'});
    seed("sna", "dump-64k", dump);
    std::vector<uint8_t> chunks = sna_test::header(3, 0, 4);
    sna_test::chunk(chunks, "MEM0", {0xE5, 0x00, 0xE5, 0x10, 0x76, 0x01});
    sna_test::chunk(chunks, "CPC+", std::vector<uint8_t>(2296, 0));
    sna_test::chunk(chunks, "ROMS", {0, 'x', '.', 'c', 'p', 'r', 0});
    seed("sna", "chunks-plus", chunks);
    seed("snr", "keys", sna_test::snrFromSnapshot(dump, {10, 1, 27, 3, 127, 3, 0, 0, 1}));
    const std::vector<uint8_t> halt = {0xF3, 0x76};  // DI, HALT
    seed("cpr", "halt", asic_test::cartridgeWith(halt));
    seed("cpr", "odd-chunks", asic_test::buildCpr({{"cb00", halt}, {"cb31", {1, 2, 3}}, {"cbxx", {}}, {"cb02", {}, 0xFFFF}}));
    seed("cpr", "banks-out-of-order", asic_test::buildCpr({{"cb02", {2}}, {"cb00", halt}, {"cb01", {1}}}));
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
    preservationDisks();
    snapshots();
    tapes();
    settings();
    return 0;
}
