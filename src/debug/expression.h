// Conditions of break points: "A == &41 && (HL) != 0", "deek(SP) >= &C000".
// compile() turns the text into a flat program of operations once; evaluate()
// runs it on every check without allocating or looking at text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What an expression can see. Names (registers, flags, symbols) become small
// ids when the expression is compiled; the environment is case-insensitive.
class ExpressionEnvironment {
public:
    virtual ~ExpressionEnvironment() = default;
    virtual int idOf(std::string_view name) const = 0;  // -1 for a name it does not know
    virtual uint32_t valueOf(int id) const = 0;
    virtual uint8_t peek(uint16_t address) const = 0;
};

class Expression {
public:
    // Grammar, loosest first: ||, &&, == != < <= > >=, + -, unary ! -, then
    // numbers (every parseNumber form), names, peek(e), deek(e), (BC) (DE)
    // (HL) (IX) (IY) (SP) (PC) as the byte at that address, and (e).
    // On failure out is left alone and error says what and where ("at 7",
    // counting from 1).
    static bool compile(std::string_view text, const ExpressionEnvironment& env, Expression& out, std::string& error);
    // Non-zero means true; arithmetic wraps at 32 bits, comparisons are
    // unsigned. An expression never compiled evaluates to 0.
    uint32_t evaluate(const ExpressionEnvironment& env) const;

    enum class Op : uint8_t { Number, Name, Peek, Deek, Negate, Not, Add, Sub, Eq, Ne, Lt, Le, Gt, Ge, And, Or };
    struct Step {
        Op op;
        uint32_t operand;  // the number, or the name's id
    };
    static constexpr int kMaxStack = 128;

private:
    std::vector<Step> program_;
};
