// Break point conditions: precedence, every number form, names, memory
// reads and the errors, from one table; and text built to break the parser.
#include "debug/expression.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Env : ExpressionEnvironment {
    struct Name {
        const char* name;
        uint32_t value;
    };
    static constexpr Name kNames[] = {{"A", 0x41},      {"B", 2},       {"BC", 0x0102},  {"HL", 0x9000},
                                      {"SP", 0xC000},   {"PC", 0x4000}, {"AF'", 0x1234}, {"LOOP.END", 0x4010},
                                      {"MY_SYM", 0x20}, {"IX", 0xA000}, {"IY", 0xB000}};
    uint8_t mem[65536] = {};
    Env() {
        mem[0x9000] = 0x7E;
        mem[0x9001] = 0x12;
        mem[0xC000] = 0x34;
        mem[0xC001] = 0x12;
        mem[0x0102] = 0x99;
        mem[0xFFFF] = 0xAA;
        mem[0x0000] = 0x55;
    }
    int idOf(std::string_view name) const override {
        for (size_t i = 0; i < std::size(kNames); ++i) {
            if (name.size() == std::strlen(kNames[i].name) &&
                strncasecmp(name.data(), kNames[i].name, name.size()) == 0) {
                return int(i);
            }
        }
        return -1;
    }
    uint32_t valueOf(int id) const override { return kNames[id].value; }
    uint8_t peek(uint16_t address) const override { return mem[address]; }
};

struct Row {
    const char* text;
    uint32_t value;
    const char* error = nullptr;
};

const Row kRows[] = {
    // precedence and associativity
    {"1+2", 3},
    {"10-3-2", 5},
    {"2--1", 3},
    {"2+3==5", 1},
    {"1 || 0 && 0", 1},
    {"(1 || 0) && 0", 0},
    {"0 || 2", 1},
    {"!0", 1},
    {"!5 + 1", 1},
    {"!!7", 1},
    {"-1", 0xFFFFFFFF},
    {"-1 < 0", 0},
    {"3 < 4", 1},
    {"4 <= 4", 1},
    {"4 >= 5", 0},
    {"5 > 4 == 1", 1},
    {"4 != 5", 1},
    {"1+2 == 3 && 4 > 3 || 0", 1},
    // numbers
    {"&BE80", 0xBE80},
    {"#be80", 0xBE80},
    {"$ff", 0xFF},
    {"0x1F", 0x1F},
    {"0BE80H", 0xBE80},
    {"0be80h", 0xBE80},
    {"65535", 65535},
    {"&FFFFFFFF+1", 0},
    // names, as written; the environment ignores case
    {"a == &41", 1},
    {"AF'", 0x1234},
    {"loop.end - 16", 0x4000},
    {"My_Sym", 0x20},
    // memory
    {"(HL)", 0x7E},
    {"( hl )", 0x7E},
    {"(SP)", 0x34},
    {"(BC)", 0x99},
    {"(HL+1)", 0x9001},
    {"(A)", 0x41},
    {"peek(HL+1)", 0x12},
    {"PEEK (&FFFF)", 0xAA},
    {"deek(SP)", 0x1234},
    {"deek(&FFFF)", 0x55AA},
    {"(HL) == &7E && A != 0", 1},
    // errors
    {"", 0, "empty expression at 1"},
    {"   ", 0, "empty expression at 4"},
    {"1 +", 0, "unexpected end at 4"},
    {"(1+2))", 0, "unexpected ')' at 6"},
    {"(1+2", 0, "unexpected end at 5"},
    {"QQ == 1", 0, "unknown name 'QQ' at 1"},
    {"1 == (qq)", 0, "unknown name 'qq' at 7"},
    {"1 & 2", 0, "unexpected '&' at 3"},
    {"A + & 2", 0, "bad number '&' at 5"},
    {"&100000000", 0, "bad number '&100000000' at 1"},
    {"12Z", 0, "bad number '12Z' at 1"},
    {"1 = 2", 0, "unexpected '=' at 3"},
    {"peek 5", 0, "unknown name 'peek' at 1"},
    {"A B", 0, "unexpected 'B' at 3"},
    {"*3", 0, "unexpected '*' at 1"},
};

}  // namespace

TEST(Expression, ValuesAndErrors) {
    const Env env;
    for (const Row& row : kRows) {
        Expression e;
        std::string error;
        const bool ok = Expression::compile(row.text, env, e, error);
        if (row.error) {
            EXPECT_FALSE(ok) << row.text;
            EXPECT_EQ(error, row.error) << row.text;
        } else {
            ASSERT_TRUE(ok) << row.text << ": " << error;
            EXPECT_EQ(e.evaluate(env), row.value) << row.text;
        }
    }
}

TEST(Expression, HostileTextIsAnErrorNotACrash) {
    const Env env;
    Expression e;
    std::string error;
    ASSERT_TRUE(Expression::compile("1", env, e, error));

    EXPECT_FALSE(Expression::compile(std::string(100000, '('), env, e, error));
    EXPECT_NE(error.find("too deeply nested"), std::string::npos) << error;
    EXPECT_FALSE(Expression::compile(std::string(100000, '-') + "1", env, e, error));
    EXPECT_NE(error.find("too many signs"), std::string::npos) << error;
    EXPECT_FALSE(Expression::compile(std::string(100000, '&'), env, e, error));
    EXPECT_EQ(e.evaluate(env), 1u);  // failures leave the expression as it was

    // Reasonable nesting and long flat sums still compile.
    ASSERT_TRUE(Expression::compile(std::string(50, '(') + "A" + std::string(50, ')'), env, e, error)) << error;
    EXPECT_EQ(e.evaluate(env), 0x41u);
    std::string sum = "1";
    for (int i = 1; i < 10000; ++i) sum += "+1";
    ASSERT_TRUE(Expression::compile(sum, env, e, error)) << error;
    EXPECT_EQ(e.evaluate(env), 10000u);
}
