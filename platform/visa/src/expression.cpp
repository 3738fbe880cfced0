#include "trl4visa/expression.h"

#include <memory>

namespace trl4visa {
namespace {

using CharSet = std::bitset<256>;

unsigned char lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

unsigned char upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Letters of both cases, so the automaton compares characters as they come.
CharSet caseless(CharSet set) {
    CharSet out = set;
    for (unsigned c = 0; c < 256; ++c) {
        if (set[c]) {
            out.set(lower(static_cast<unsigned char>(c)));
            out.set(upper(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

struct Node {
    enum Kind { Chars, Sequence, Either, Star, Plus } kind = Sequence;
    CharSet chars;
    std::vector<std::unique_ptr<Node>> parts;
};

// Recursive descent over the expression; nesting is bounded by its length.
class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::unique_ptr<Node> parse() {
        auto node = alternatives();
        if (!node || pos_ != text_.size()) return nullptr;
        return node;
    }

  private:
    std::unique_ptr<Node> alternatives() {
        auto first = sequence();
        if (!first) return nullptr;
        if (!peek('|')) return first;
        auto either = std::make_unique<Node>();
        either->kind = Node::Either;
        either->parts.push_back(std::move(first));
        while (peek('|')) {
            ++pos_;
            auto next = sequence();
            if (!next) return nullptr;
            either->parts.push_back(std::move(next));
        }
        return either;
    }

    std::unique_ptr<Node> sequence() {
        auto seq = std::make_unique<Node>();
        while (pos_ < text_.size() && text_[pos_] != '|' && text_[pos_] != ')') {
            auto item = atom();
            if (!item) return nullptr;
            if (peek('*') || peek('+')) {
                auto repeat = std::make_unique<Node>();
                repeat->kind = text_[pos_++] == '*' ? Node::Star : Node::Plus;
                repeat->parts.push_back(std::move(item));
                item = std::move(repeat);
                // One quantifier an item: "A**" is malformed, as the standard has it.
                if (peek('*') || peek('+')) return nullptr;
            }
            seq->parts.push_back(std::move(item));
        }
        return seq;
    }

    std::unique_ptr<Node> atom() {
        const char c = text_[pos_++];
        switch (c) {
            case '*':
            case '+':
                return nullptr;
            case '(': {
                auto inner = alternatives();
                if (!inner || !peek(')')) return nullptr;
                ++pos_;
                return inner;
            }
            case '?': {
                auto any = chars(CharSet{});
                any->chars.set();
                return any;
            }
            case '[':
                return list();
            case '\\':
                if (pos_ == text_.size()) return nullptr;
                return single(text_[pos_++]);
            default:
                return single(c);
        }
    }

    std::unique_ptr<Node> list() {
        const bool negated = peek('^');
        if (negated) ++pos_;
        CharSet set;
        size_t members = 0;
        for (; pos_ < text_.size() && text_[pos_] != ']'; ++members) {
            unsigned char from = member();
            if (pos_ == text_.size()) return nullptr;
            // A range between two members; a '-' first or last is itself a member.
            if (text_[pos_] == '-' && pos_ + 1 < text_.size() && text_[pos_ + 1] != ']') {
                ++pos_;
                const unsigned char to = member();
                if (to < from) return nullptr;
                for (unsigned m = from; m <= to; ++m)
                    set.set(m);
            } else {
                set.set(from);
            }
        }
        if (pos_ == text_.size() || members == 0) return nullptr;
        ++pos_;
        set = caseless(set);
        return chars(negated ? ~set : set);
    }

    unsigned char member() {
        if (text_[pos_] == '\\' && pos_ + 1 < text_.size()) ++pos_;
        return static_cast<unsigned char>(text_[pos_++]);
    }

    std::unique_ptr<Node> single(char c) {
        CharSet set;
        set.set(static_cast<unsigned char>(c));
        return chars(caseless(set));
    }

    static std::unique_ptr<Node> chars(CharSet set) {
        auto node = std::make_unique<Node>();
        node->kind = Node::Chars;
        node->chars = set;
        return node;
    }

    bool peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }

    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace

// Lays the tree out as steps: a fork tries both ways at once, a jump closes a loop.
class ExpressionCompiler {
  public:
    explicit ExpressionCompiler(Expression &out) : out_(out) {}

    void emit(const Node &node) {
        using Step = Expression::Step;
        switch (node.kind) {
            case Node::Chars:
                out_.sets_.push_back(node.chars);
                add({Step::Test, out_.sets_.size() - 1, 0, 0});
                break;
            case Node::Sequence:
                for (const auto &part : node.parts)
                    emit(*part);
                break;
            case Node::Either: {
                std::vector<size_t> exits;
                for (size_t i = 0; i < node.parts.size(); ++i) {
                    const bool last = i + 1 == node.parts.size();
                    const size_t fork = last ? 0 : add({Step::Fork, 0, 0, 0});
                    if (!last) out_.steps_[fork].a = out_.steps_.size();
                    emit(*node.parts[i]);
                    if (last) break;
                    exits.push_back(add({Step::Jump, 0, 0, 0}));
                    out_.steps_[fork].b = out_.steps_.size();
                }
                for (size_t exit : exits)
                    out_.steps_[exit].a = out_.steps_.size();
                break;
            }
            case Node::Star: {
                const size_t fork = add({Step::Fork, 0, 0, 0});
                out_.steps_[fork].a = out_.steps_.size();
                emit(*node.parts.front());
                add({Step::Jump, 0, fork, 0});
                out_.steps_[fork].b = out_.steps_.size();
                break;
            }
            case Node::Plus: {
                const size_t start = out_.steps_.size();
                emit(*node.parts.front());
                const size_t fork = add({Step::Fork, 0, start, 0});
                out_.steps_[fork].b = out_.steps_.size();
                break;
            }
        }
    }

    size_t add(Expression::Step step) {
        out_.steps_.push_back(step);
        return out_.steps_.size() - 1;
    }

  private:
    Expression &out_;
};

std::optional<Expression> Expression::compile(std::string_view expression) {
    if (expression.empty() || expression.size() > kMaxExpressionBytes) return std::nullopt;
    const auto tree = Parser(expression).parse();
    if (!tree) return std::nullopt;
    Expression e;
    ExpressionCompiler compiler(e);
    compiler.emit(*tree);
    compiler.add({Step::Accept, 0, 0, 0});
    return e;
}

bool Expression::matches(std::string_view name) const {
    // The states reached after each character, each taken once however it is reached.
    std::vector<size_t> current, next, stack;
    std::vector<size_t> seen(steps_.size(), 0);
    size_t generation = 0;
    const auto follow = [&](std::vector<size_t> &into, size_t from) {
        stack.push_back(from);
        while (!stack.empty()) {
            const size_t s = stack.back();
            stack.pop_back();
            if (seen[s] == generation) continue;
            seen[s] = generation;
            const Step &step = steps_[s];
            if (step.kind == Step::Fork) {
                stack.push_back(step.b);
                stack.push_back(step.a);
            } else if (step.kind == Step::Jump) {
                stack.push_back(step.a);
            } else {
                into.push_back(s);
            }
        }
    };
    ++generation;
    follow(current, 0);
    for (const char c : name) {
        ++generation;
        next.clear();
        for (size_t s : current) {
            const Step &step = steps_[s];
            if (step.kind == Step::Test && sets_[step.set][static_cast<unsigned char>(c)]) {
                follow(next, s + 1);
            }
        }
        current.swap(next);
        if (current.empty()) return false;
    }
    for (size_t s : current) {
        if (steps_[s].kind == Step::Accept) return true;
    }
    return false;
}

bool matchesExpression(std::string_view expression, std::string_view name, bool &matched) {
    const auto e = Expression::compile(expression);
    if (!e) return false;
    matched = e->matches(name);
    return true;
}

}  // namespace trl4visa
