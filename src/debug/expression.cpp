#include "debug/expression.h"

#include "debug/number_text.h"

namespace {

// Deeper nesting than this is refused, so that hostile text cannot exhaust
// the parser's own stack.
constexpr int kMaxDepth = 64;

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameChar(char c) { return isLetter(c) || isDigit(c) || c == '_' || c == '\'' || c == '.'; }
bool isSpace(char c) { return c == ' ' || c == '\t'; }
char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool equalsUpper(std::string_view text, std::string_view upperWord) {
    if (text.size() != upperWord.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (upper(text[i]) != upperWord[i]) return false;
    }
    return true;
}

bool isPairName(std::string_view name) {
    for (std::string_view pair : {"BC", "DE", "HL", "IX", "IY", "SP", "PC"}) {
        if (equalsUpper(name, pair)) return true;
    }
    return false;
}

using Op = Expression::Op;

class Parser {
public:
    Parser(std::string_view text, const ExpressionEnvironment& env, std::vector<Expression::Step>& program)
        : text_(text), env_(env), program_(program) {}

    bool parse(std::string& error) {
        skipSpaces();
        if (pos_ == text_.size()) fail("empty expression");
        else if (parseOr(0) && (skipSpaces(), pos_ != text_.size())) unexpected();
        return report(error);
    }

private:
    bool report(std::string& error) {
        if (error_.empty()) return true;
        error = error_;
        return false;
    }
    // The first failure is the one reported.
    bool fail(std::string_view what) {
        if (error_.empty()) error_ = std::string(what) + " at " + std::to_string(pos_ + 1);
        return false;
    }
    bool unexpected() {
        if (pos_ >= text_.size()) return fail("unexpected end");
        return fail("unexpected '" + std::string(1, text_[pos_]) + "'");
    }

    void skipSpaces() {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
    }
    // Takes the operator s when it comes next.
    bool accept(std::string_view s) {
        skipSpaces();
        if (text_.substr(pos_, s.size()) != s) return false;
        pos_ += s.size();
        return true;
    }

    bool emit(Op op, uint32_t operand = 0) {
        program_.push_back({op, operand});
        switch (op) {
            case Op::Number:
            case Op::Name: ++stack_; break;
            case Op::Peek:
            case Op::Deek:
            case Op::Negate:
            case Op::Not: break;
            default: --stack_; break;
        }
        if (stack_ > Expression::kMaxStack) return fail("expression too complex");
        return true;
    }

    bool parseOr(int depth) {
        if (!parseAnd(depth)) return false;
        while (accept("||")) {
            if (!parseAnd(depth) || !emit(Op::Or)) return false;
        }
        return true;
    }
    bool parseAnd(int depth) {
        if (!parseCompare(depth)) return false;
        while (accept("&&")) {
            if (!parseCompare(depth) || !emit(Op::And)) return false;
        }
        return true;
    }
    bool parseCompare(int depth) {
        if (!parseSum(depth)) return false;
        for (;;) {
            // Two-character operators first, so that "<=" is not "<" then "=".
            Op op;
            if (accept("==")) op = Op::Eq;
            else if (accept("!=")) op = Op::Ne;
            else if (accept("<=")) op = Op::Le;
            else if (accept(">=")) op = Op::Ge;
            else if (accept("<")) op = Op::Lt;
            else if (accept(">")) op = Op::Gt;
            else return true;
            if (!parseSum(depth) || !emit(op)) return false;
        }
    }
    bool parseSum(int depth) {
        if (!parseUnary(depth)) return false;
        for (;;) {
            Op op;
            if (accept("+")) op = Op::Add;
            else if (accept("-")) op = Op::Sub;
            else return true;
            if (!parseUnary(depth) || !emit(op)) return false;
        }
    }
    // A run of prefixes is counted, not recursed into.
    bool parseUnary(int depth) {
        Op pending[kMaxDepth];
        int count = 0;
        for (;;) {
            skipSpaces();
            if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '!')) {
                if (count == kMaxDepth) return fail("too many signs");
                pending[count++] = text_[pos_] == '-' ? Op::Negate : Op::Not;
                ++pos_;
            } else {
                break;
            }
        }
        if (!parsePrimary(depth)) return false;
        while (count > 0) {
            if (!emit(pending[--count])) return false;
        }
        return true;
    }

    std::string_view nameAt(size_t at) const {
        size_t end = at;
        if (end < text_.size() && isLetter(text_[end])) {
            ++end;
            while (end < text_.size() && isNameChar(text_[end])) ++end;
        }
        return text_.substr(at, end - at);
    }

    bool parseGroup(int depth) {
        if (depth >= kMaxDepth) return fail("too deeply nested");
        if (!parseOr(depth + 1)) return false;
        if (!accept(")")) return unexpected();
        return true;
    }

    bool parsePrimary(int depth) {
        skipSpaces();
        if (pos_ >= text_.size()) return unexpected();
        const char c = text_[pos_];
        if (c == '(') {
            ++pos_;
            // (HL) and the other pairs are the byte they point at.
            size_t at = pos_;
            while (at < text_.size() && isSpace(text_[at])) ++at;
            const std::string_view name = nameAt(at);
            size_t after = at + name.size();
            while (after < text_.size() && isSpace(text_[after])) ++after;
            if (isPairName(name) && after < text_.size() && text_[after] == ')') {
                pos_ = at;
                if (!emitName(name)) return false;
                pos_ = after + 1;
                return emit(Op::Peek);
            }
            return parseGroup(depth);
        }
        if (isDigit(c) || c == '&' || c == '#' || c == '$') {
            const size_t start = pos_++;
            while (pos_ < text_.size() && (isLetter(text_[pos_]) || isDigit(text_[pos_]))) ++pos_;
            uint32_t value = 0;
            if (!parseNumber(text_.substr(start, pos_ - start), value)) {
                const std::string what = "bad number '" + std::string(text_.substr(start, pos_ - start)) + "'";
                pos_ = start;
                return fail(what);
            }
            return emit(Op::Number, value);
        }
        if (isLetter(c)) {
            const std::string_view name = nameAt(pos_);
            const bool isPeek = equalsUpper(name, "PEEK");
            if (isPeek || equalsUpper(name, "DEEK")) {
                size_t after = pos_ + name.size();
                while (after < text_.size() && isSpace(text_[after])) ++after;
                if (after < text_.size() && text_[after] == '(') {
                    pos_ = after + 1;
                    if (!parseGroup(depth)) return false;
                    return emit(isPeek ? Op::Peek : Op::Deek);
                }
            }
            if (!emitName(name)) return false;
            pos_ += name.size();
            return true;
        }
        return unexpected();
    }

    bool emitName(std::string_view name) {
        const int id = env_.idOf(name);
        if (id < 0) return fail("unknown name '" + std::string(name) + "'");
        return emit(Op::Name, uint32_t(id));
    }

    std::string_view text_;
    const ExpressionEnvironment& env_;
    std::vector<Expression::Step>& program_;
    size_t pos_ = 0;
    int stack_ = 0;
    std::string error_;
};

}  // namespace

bool Expression::compile(std::string_view text, const ExpressionEnvironment& env, Expression& out, std::string& error) {
    std::vector<Step> program;
    Parser parser(text, env, program);
    if (!parser.parse(error)) return false;
    program.shrink_to_fit();
    out.program_ = std::move(program);
    return true;
}

uint32_t Expression::evaluate(const ExpressionEnvironment& env) const {
    if (program_.empty()) return 0;
    uint32_t stack[kMaxStack];
    int top = -1;
    for (const Step& step : program_) {
        switch (step.op) {
            case Op::Number: stack[++top] = step.operand; continue;
            case Op::Name: stack[++top] = env.valueOf(int(step.operand)); continue;
            case Op::Peek: stack[top] = env.peek(uint16_t(stack[top])); continue;
            case Op::Deek: {
                const uint16_t a = uint16_t(stack[top]);
                stack[top] = uint32_t(env.peek(a) | (env.peek(uint16_t(a + 1)) << 8));
                continue;
            }
            case Op::Negate: stack[top] = 0u - stack[top]; continue;
            case Op::Not: stack[top] = stack[top] == 0; continue;
            default: break;
        }
        const uint32_t b = stack[top--];
        uint32_t& a = stack[top];
        switch (step.op) {
            case Op::Add: a += b; break;
            case Op::Sub: a -= b; break;
            case Op::Eq: a = a == b; break;
            case Op::Ne: a = a != b; break;
            case Op::Lt: a = a < b; break;
            case Op::Le: a = a <= b; break;
            case Op::Gt: a = a > b; break;
            case Op::Ge: a = a >= b; break;
            case Op::And: a = a != 0 && b != 0; break;
            case Op::Or: a = a != 0 || b != 0; break;
            default: break;
        }
    }
    return stack[0];
}
