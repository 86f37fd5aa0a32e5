// Without libFuzzer (g++ builds), each target replays the inputs it is given
// (files, or every file of the directories named), then a bounded run of
// mutants of them: bit flips, telling bytes, extreme lengths, truncations,
// repeated and cut stretches. Every input must finish quickly; the harness
// aborts on a malformed result. KESTRIX_FUZZ_ITERATIONS and KESTRIX_FUZZ_SEED
// widen a local run; KESTRIX_FUZZ_KEEP_MUTANT=FILE keeps the mutant being run,
// so that after a crash FILE holds it.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

Bytes mutate(const Bytes& seed, std::mt19937& rng) {
    Bytes b = seed;
    auto pick = [&](size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng) : 0; };
    const int edits = 1 + static_cast<int>(pick(8));
    for (int e = 0; e < edits; ++e) {
        if (b.empty()) b.push_back(0);
        switch (pick(8)) {
            case 0:  // a bit flip
                b[pick(b.size())] ^= static_cast<uint8_t>(1u << pick(8));
                break;
            case 1: {  // a telling byte
                static const uint8_t kBytes[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF, 0x10, 0x11, 0x15, 0x18, 0x32};
                b[pick(b.size())] = kBytes[pick(sizeof kBytes)];
                break;
            }
            case 2: {  // an extreme length
                static const uint32_t kWords[] = {0, 1, 0xFFFF, 0x10000, 0xFFFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
                const uint32_t v = kWords[pick(sizeof kWords / sizeof kWords[0])];
                const size_t at = pick(b.size());
                for (size_t i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
                break;
            }
            case 3:  // a truncation
                b.resize(pick(b.size() + 1));
                break;
            case 4: {  // a repeated stretch
                const size_t from = pick(b.size());
                const size_t n = std::min<size_t>(pick(64) + 1, b.size() - from);
                const Bytes stretch(b.begin() + from, b.begin() + from + n);
                b.insert(b.begin() + pick(b.size() + 1), stretch.begin(), stretch.end());
                break;
            }
            case 5: {  // a cut stretch
                const size_t from = pick(b.size());
                const size_t n = std::min<size_t>(pick(64) + 1, b.size() - from);
                b.erase(b.begin() + from, b.begin() + from + n);
                break;
            }
            case 6: {  // a header field, where loaders trust numbers (a DSK's track count, its first track block)
                const size_t field = pick(2) ? 0x30 + pick(4) : 256 + pick(0x100);
                if (field < b.size()) b[field] = static_cast<uint8_t>(rng());
                break;
            }
            default:  // a random byte
                b[pick(b.size())] = static_cast<uint8_t>(rng());
                break;
        }
    }
    return b;
}

unsigned long environmentNumber(const char* name, unsigned long otherwise) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoul(text, nullptr, 0) : otherwise;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        fs::path p(argv[i]);
        if (fs::is_directory(p)) {
            for (const auto& entry : fs::directory_iterator(p))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(p)) {
            inputs.push_back(p);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    std::vector<Bytes> corpus;
    constexpr double kSlowSeconds = 5.0;
    auto runOne = [&](const Bytes& bytes, const std::string& what) {
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds < kSlowSeconds) return true;
        std::fprintf(stderr, "%s of %zu bytes took %.1f s\n", what.c_str(), bytes.size(), seconds);
        return false;
    };
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        corpus.emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!runOne(corpus.back(), p.string())) return 1;
    }
    const unsigned long mutants = corpus.empty() ? 0 : environmentNumber("KESTRIX_FUZZ_ITERATIONS", 400);
    const unsigned long seed = environmentNumber("KESTRIX_FUZZ_SEED", 0x6D617473);
    const char* keep = std::getenv("KESTRIX_FUZZ_KEEP_MUTANT");
    std::mt19937 rng(static_cast<uint32_t>(seed));
    for (unsigned long i = 0; i < mutants; ++i) {
        const Bytes mutant = mutate(corpus[i % corpus.size()], rng);
        if (keep) {
            std::ofstream(keep, std::ios::binary)
                .write(reinterpret_cast<const char*>(mutant.data()), static_cast<std::streamsize>(mutant.size()));
        }
        if (!runOne(mutant, "mutant " + std::to_string(i) + " (KESTRIX_FUZZ_SEED=" + std::to_string(seed) + ")"))
            return 1;
    }
    std::printf("replayed %zu inputs and %lu mutants\n", inputs.size(), mutants);
    return 0;
}
