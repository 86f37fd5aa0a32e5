#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "machine/file_reader.h"
#include "support/temp_home.h"

namespace {

class FileReader : public ::testing::Test {
protected:
    TempKestrixHome home{false};
    const std::string path = home.file("file");
    void TearDown() override { SDL_CloseFile(); }
    void write(const std::vector<uint8_t>& bytes) { home.write("file", bytes); }
};

TEST_F(FileReader, WholeRecordReadNeedsTheFullSize) {
    std::vector<uint8_t> bytes(16384);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> buffer(16384, 0xAA);

    write(std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
    EXPECT_EQ(SDL_ReadFile(path.c_str(), buffer.data(), 16384), 0);
    EXPECT_EQ(std::tuple(buffer[0], cPCFileLength), std::tuple(0xAA, 0)) << "a short file leaves the buffer alone";

    write(bytes);
    EXPECT_EQ(SDL_ReadFile(path.c_str(), buffer.data(), 16384), 1);
    EXPECT_EQ(std::tuple(buffer, cPCFile), std::tuple(bytes, nullptr));

    std::vector<uint8_t> longer(bytes);
    longer.resize(32768, 0x55);
    write(longer);
    std::fill(buffer.begin(), buffer.end(), 0);
    EXPECT_EQ(SDL_ReadFile(path.c_str(), buffer.data(), 16384), 1);
    EXPECT_EQ(buffer, bytes);

    EXPECT_EQ(SDL_ReadFile((path + ".missing").c_str(), buffer.data(), 16384), 0);
}

TEST_F(FileReader, IntegersInBothByteOrders) {
    write({0x43, 0x41, 0x50, 0x53, 0x10, 0x00, 0x00, 0x00, 0x34, 0x12, 0x12, 0x34, 0x7F});
    ASSERT_EQ(SDL_OpenFile(path.c_str()), 13);
    EXPECT_EQ((std::vector<uint32_t>{readU32(), readU32lh(), readU16lh(), readU16()}),
              (std::vector<uint32_t>{0x43415053u, 16u, 0x1234, 0x1234}));
    EXPECT_EQ(filepos_idx, 12);
    EXPECT_EQ(readU8(), 0x7F);
}

TEST_F(FileReader, ReadsPastTheEndGiveZeroAndKeepCounting) {
    write({0xFF, 0xFE});
    ASSERT_EQ(SDL_OpenFile(path.c_str()), 2);
    EXPECT_EQ((std::vector<uint32_t>{readU16(), readU32lh(), readU8()}), (std::vector<uint32_t>{0xFFFE, 0, 0}));
    EXPECT_EQ(filepos_idx, 7);
    std::vector<uint8_t> block(8, 0x99);
    SDL_RewindFile(1);
    EXPECT_EQ(readBlock(block.data(), 8), 1);
    EXPECT_EQ(block, (std::vector<uint8_t>{0xFE, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(FileReader, HeaderCheckConsumesUpToTheFirstDifference) {
    write({'M', 'V', ' ', '-', ' ', 'S', 'N', 'A'});
    ASSERT_GT(SDL_OpenFile(path.c_str()), 0);
    EXPECT_FALSE(headerIdCheck("MV - CPC"));
    EXPECT_EQ(filepos_idx, 6);
    SDL_RewindFile(0);
    EXPECT_EQ(filepos_idx, 0);
    EXPECT_TRUE(headerIdCheck("MV - SNA"));
    SDL_RewindFile(2);
    SDL_ForwadFile(3);
    EXPECT_EQ(readU8(), 'S');
}

TEST_F(FileReader, MissingFileAndNoOpenFile) {
    EXPECT_EQ(SDL_OpenFile((path + ".missing").c_str()), 0);
    EXPECT_EQ(std::tuple(cPCFile, cPCFileLength), std::tuple(nullptr, 0));
    // Seeks and reads without a file do nothing harmful.
    SDL_RewindFile(10);
    SDL_ForwadFile(10);
    EXPECT_EQ(readU8(), 0);
    EXPECT_TRUE(directoryTestExist(std::filesystem::temp_directory_path().c_str()));
    EXPECT_FALSE(directoryTestExist((path + ".nodir").c_str()));
}

}  // namespace

// A FIFO, a directory, a device or a socket opened for reading could block the
// program or read forever: the layer refuses them from the directory entry.
TEST_F(FileReader, SpecialFilesAreRefusedWithoutBeingOpened) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SDL_OpenFile(path.c_str()), 0);
    EXPECT_STREQ(fileOpenProblem(), "is a FIFO, not a file");
    std::vector<uint8_t> buffer(16);
    EXPECT_EQ(SDL_ReadFile(path.c_str(), buffer.data(), 16), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    std::remove(path.c_str());

    EXPECT_EQ(SDL_OpenFile(std::filesystem::temp_directory_path().c_str()), 0);
    EXPECT_STREQ(fileOpenProblem(), "is a directory, not a file");
    EXPECT_EQ(SDL_OpenFile("/dev/zero"), 0);
    EXPECT_STREQ(fileOpenProblem(), "is a device, not a file");

    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(SDL_OpenFile(path.c_str()), 0);
    EXPECT_STREQ(fileOpenProblem(), "is a socket, not a file");
    close(s);
    std::remove(path.c_str());

    EXPECT_EQ(SDL_OpenFile(path.c_str()), 0);
    EXPECT_STREQ(fileOpenProblem(), "not found");
    write({1, 2, 3});
    if (geteuid() != 0) {  // root reads whatever the mode says
        chmod(path.c_str(), 0);
        EXPECT_EQ(SDL_OpenFile(path.c_str()), 0);
        EXPECT_STREQ(fileOpenProblem(), "cannot be read");
    }
}
