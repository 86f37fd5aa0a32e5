// Symbol files: the line forms read and skipped, a round trip through
// pasmo's own symbol output, and files built to hurt the reader.
#include "debug/symbol_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <vector>

#include "debug/disassembler.h"
#include "support/temp_home.h"

TEST(SymbolTable, ReadsTheEquateFormsAndSkipsTheRest) {
    SymbolTable table;
    const size_t added = table.addText(
        "TXT_OUTPUT EQU &BB5A\n"
        "km_read_char:\tequ\t#BB09 ; comment\n"
        "Screen = $C000\n"
        "  indented EQU 0x4000\r\n"
        "hexh: = 0BB00H\n"
        "dec EQU 49152;no space before the comment\n"
        "alias EQU &BB5A\n"
        "TXT_OUTPUT EQU 1\n"  // a second definition keeps the first
        "; a comment\n"
        "\n"
        "LD A,5\n"
        "label: ld a,1\n"
        "empty EQU\n"
        "wide EQU &10000\n"
        "junk EQU 12 34\n"
        "equal EQUAL 5\n"
        "badhex EQU &XYZ\n"
        "9lives EQU 5\n"
        "last EQU 7");  // no newline at the end
    const std::pair<const char*, uint16_t> expected[] = {
        {"TXT_OUTPUT", 0xBB5A}, {"KM_READ_CHAR", 0xBB09}, {"screen", 0xC000}, {"Indented", 0x4000},
        {"hexh", 0xBB00},       {"dec", 0xC000},          {"alias", 0xBB5A},  {"last", 7}};
    EXPECT_EQ(added, std::size(expected));
    EXPECT_EQ(table.size(), std::size(expected));
    for (const auto& [name, value] : expected) EXPECT_EQ(table.valueOf(name), value) << name;
    for (const char* name : {"label", "empty", "wide", "junk", "equal", "badhex", "9lives", "LD"}) {
        EXPECT_FALSE(table.valueOf(name)) << name;
    }
    ASSERT_TRUE(table.nameAt(0xBB5A));
    EXPECT_EQ(*table.nameAt(0xBB5A), "TXT_OUTPUT");
    EXPECT_EQ(*table.nameAt(0xC000), "Screen");
    EXPECT_FALSE(table.nameAt(0x1234));
    table.clear();
    EXPECT_EQ(table.size(), 0u);
    EXPECT_FALSE(table.valueOf("last"));
    EXPECT_FALSE(table.nameAt(7));
}

TEST(SymbolTable, ReadsPasmosSymbolFileBackIntoTheListing) {
    if (std::system("command -v pasmo >/dev/null 2>&1") != 0) GTEST_SKIP() << "pasmo is not installed";
    TempKestrixHome home(false);
    const std::string source = home.file("round.asm"), binary = home.file("round.bin"),
                      symbols = home.file("round.sym");
    home.writeFile("round.asm",
                   "TXT_OUTPUT EQU 0BB5AH\n"
                   "        ORG 4000H\n"
                   "start:  LD HL,message\n"
                   "loop:   LD A,(HL)\n"
                   "        OR A\n"
                   "        RET Z\n"
                   "        CALL TXT_OUTPUT\n"
                   "        INC HL\n"
                   "        JR loop\n"
                   "message: DEFB \"Hi\",0\n");
    const std::string command = "pasmo '" + source + "' '" + binary + "' '" + symbols + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    SymbolTable table;
    std::string error;
    ASSERT_TRUE(table.addFile(symbols, error)) << error;
    EXPECT_EQ(table.size(), 4u);
    EXPECT_EQ(table.valueOf("START"), 0x4000);

    std::ifstream in(binary, std::ios::binary);
    const std::vector<uint8_t> code((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto read = [&](uint16_t a) -> uint8_t {
        const size_t i = uint16_t(a - 0x4000);
        return i < code.size() ? code[i] : 0;
    };
    std::string listing;
    for (uint16_t at = 0x4000; at < 0x400C;) {
        const DisassembledInstruction d = disassemble(at, read, &table, HexStyle::Ampersand);
        listing += d.text + "\n";
        at = uint16_t(at + d.length);
    }
    EXPECT_EQ(listing, "LD HL,message\nLD A,(HL)\nOR A\nRET Z\nCALL TXT_OUTPUT\nINC HL\nJR loop\n");
}

TEST(SymbolTable, SurvivesHostileFiles) {
    TempKestrixHome home(false);
    SymbolTable table;
    std::string error;
    EXPECT_FALSE(table.addFile(home.file("missing.sym"), error));
    EXPECT_FALSE(error.empty());

    // Random bytes, a 1 MB line and a 1 MB name, then one good line without a newline.
    std::mt19937 random(2026);
    std::string data(3u << 20, 0);
    for (char& c : data) c = char(random());
    data += "\nX EQU " + std::string(1u << 20, '1') + "\n";
    data += std::string(1u << 20, 'N') + " EQU 1\n";
    data += "END_MARK EQU 5";
    home.writeFile("hostile.sym", data);
    error.clear();
    ASSERT_TRUE(table.addFile(home.file("hostile.sym"), error)) << error;
    EXPECT_EQ(table.valueOf("END_MARK"), 5);
    EXPECT_FALSE(table.valueOf("X"));

    home.writeFile("huge.sym", std::string(SymbolTable::kMaxFileBytes + 1, '\n'));
    EXPECT_FALSE(table.addFile(home.file("huge.sym"), error));
    EXPECT_NE(error.find("larger"), std::string::npos) << error;
}
