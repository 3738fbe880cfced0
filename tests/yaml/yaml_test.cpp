// The YAML-subset reader and the settings writer.
#include <gmock/gmock.h>

#include <cmath>
#include <string>

#include "trl4/yaml.h"

using ::testing::HasSubstr;
using trl4::yaml::Node;

namespace {

Node read(std::string_view text) {
    Node root;
    trl4::yaml::Error error;
    EXPECT_TRUE(trl4::yaml::parse(text, root, error)) << error.text();
    return root;
}

}  // namespace

TEST(YamlReader, BlockStructureByIndentation) {
    const Node root = read(
        "--- # one document\n"
        "top:\n"
        "- a\n"    // a list at its key's indentation
        "- - b\n"  // a list inside an item
        "  - c\n"
        "- k: 1\n"  // a mapping inside an item
        "  l: 2\n"
        "-\n"        // an empty item
        "next:\r\n"  // CR LF
        "   deeper:  x y  # comment\n"
        "\n"
        "   empty:\n"
        "last: ~\n");
    ASSERT_TRUE(root.isMapping());
    ASSERT_EQ(root.size(), 3u);
    const Node &top = *root.find("top");
    ASSERT_EQ(top.size(), 4u);
    EXPECT_EQ(top[0].text(), "a");
    EXPECT_EQ(top[1][1].text(), "c");
    EXPECT_EQ(top[2].find("l")->text(), "2");
    EXPECT_EQ(top[2].line(), 6);
    EXPECT_EQ(top[2].column(), 3);
    EXPECT_TRUE(top[3].isNull());
    const Node &next = *root.find("next");
    EXPECT_EQ(next.line(), 10);
    EXPECT_EQ(next.find("deeper")->text(), "x y");
    EXPECT_TRUE(next.find("empty")->isNull());
    EXPECT_EQ(next.find("empty")->line(), 12);
    EXPECT_TRUE(root.find("last")->isNull());
    EXPECT_EQ(root.find("absent"), nullptr);
}

TEST(YamlReader, QuotingEscapesAndUtf8) {
    const Node root = read(
        "\xEF\xBB\xBF"
        "a: \"q\\\" \\\\ \\t\\n\\x41\\u0416\\U0001F600 # not a comment\"\n"
        "b: 'it''s # too'\n"
        "\"key: odd\": Н.М. №0241\n"
        "c: \"null\"\n"
        "d: VXI0::24::INSTR\n");
    EXPECT_EQ(root.find("a")->text(), "q\" \\ \t\nA\xD0\x96\xF0\x9F\x98\x80 # not a comment");
    EXPECT_EQ(root.find("b")->text(), "it's # too");
    EXPECT_EQ(root.find("key: odd")->text(), "Н.М. №0241");
    EXPECT_TRUE(root.find("c")->isScalar());
    EXPECT_TRUE(root.find("c")->quoted());
    EXPECT_EQ(root.find("d")->text(), "VXI0::24::INSTR");
}

TEST(YamlReader, FlowCollectionsInsideBlocks) {
    const Node root = read(
        "list:\n"
        "  - {position: 1, gain: [0.5, -1e-3],\n"
        "     # a comment inside\n"
        "     url: http://h:80/x, empty: , last: \"}\"}\n"
        "  - [a, [b, {c: d}], ]\n");
    const Node &first = (*root.find("list"))[0];
    EXPECT_EQ(first.line(), 2);
    EXPECT_EQ(first.find("gain")->size(), 2u);
    EXPECT_EQ(first.find("url")->text(), "http://h:80/x");
    EXPECT_EQ(first.find("url")->keyLine(), 4);
    EXPECT_TRUE(first.find("empty")->isNull());
    EXPECT_EQ(first.find("last")->text(), "}");
    const Node &second = (*root.find("list"))[1];
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[1][1].find("c")->text(), "d");
}

TEST(YamlReader, RefusesWhatIsOutsideTheSubsetWithItsLine) {
    const struct {
        const char *text;
        int line;
        const char *reason;
    } bad[] = {
        {"a: 1\nb: &x 2\n", 2, "anchors"},
        {"a: 1\nb: *x\n", 2, "aliases"},
        {"a: !!str 1\n", 1, "tags"},
        {"a: |\n  text\n", 1, "block scalars"},
        {"a: 1\n---\nb: 2\n", 2, "one document"},
        {"a: 1\nb: 2\na: 3\n", 3, "\"a\" appears twice in one mapping (first on line 1)"},
        {"{a: 1, a: 2}\n", 1, "appears twice"},
        {"a:\n\tb: 1\n", 2, "tab in the indentation"},
        {"a: one\n  two\n", 2, "does not continue"},
        {"a:\n    b: 1\n  c: 2\n", 3, "does not continue"},
        {"a: b: c\n", 1, "must be quoted"},
        {"a: - b\n", 1, "list cannot start"},
        {"- a\nb: 1\n", 2, "does not continue"},
        {"a: 1\n- b\n", 2, "list item where a key is expected"},
        {"a: \"open\n  b\"\n", 1, "no closing \""},
        {"a: \"\\q\"\n", 1, "unknown escape \\q"},
        {"a: \"\\uD800\"\n", 1, "no Unicode character"},
        {"a: \"\\x4\"\n", 1, "2 hexadecimal digits"},
        {"a: [1, 2\n\nb: 3\n", 3, "opened on line 1"},
        {"a: [1, , 2]\n", 1, "',' cannot start"},
        {"a: [b: 1]\n", 1, "write {key: value}"},
        {"a: {b}\n", 1, "expected ':'"},
        {"a: \"x\" y\n", 1, "unexpected 'y'"},
        {"a: ok\nb: \xD0\n", 2, "not valid UTF-8"},
        {"a: ok\nb: \x01\n", 2, "control character 0x01"},
        {"? a\n", 1, "'?' keys"},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(b.text);
        Node root = read("kept: yes\n");
        trl4::yaml::Error error;
        EXPECT_FALSE(trl4::yaml::parse(b.text, root, error));
        EXPECT_EQ(error.line, b.line);
        EXPECT_THAT(error.message, HasSubstr(b.reason));
        EXPECT_THAT(error.text(), HasSubstr("line " + std::to_string(b.line) + ": "));
        EXPECT_NE(root.find("kept"), nullptr);  // untouched
    }
}

TEST(YamlReader, DepthIsBounded) {
    trl4::yaml::Node root;
    trl4::yaml::Error error;
    const std::string deepFlow = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_FALSE(trl4::yaml::parse(deepFlow, root, error));
    EXPECT_THAT(error.message, HasSubstr("deeper than 64"));
    std::string deepBlock;
    for (int i = 0; i < 70; ++i)
        deepBlock += std::string(static_cast<size_t>(i), ' ') + "k:\n";
    EXPECT_FALSE(trl4::yaml::parse(deepBlock, root, error));
    EXPECT_EQ(error.line, 65);
    EXPECT_TRUE(trl4::yaml::parse(deepBlock, root, error, {.maxDepth = 100})) << error.text();
}

TEST(YamlWriter, SettingsReadBackExactly) {
    const std::string awkward[] = {
        "",        "null",   "- dash",  "a: b", "x #y",   " pad ",  "quote\"", "it's",
        "tab\tin", "line\n", "Канал 1", "end:", "[list]", "\x01\\", "~",       "plain text"};
    trl4::yaml::Writer writer;
    writer.integer("count", -9000000000);
    writer.real("gain", 0.1 + 0.2);
    writer.boolean("on", true);
    writer.beginSection("texts");
    for (size_t i = 0; i < std::size(awkward); ++i)
        writer.text(awkward[i], awkward[i]);
    writer.endSection();
    writer.real("nan", std::nan(""));
    const Node root = read(writer.result());
    EXPECT_EQ(root.find("count")->toInteger(), -9000000000);
    EXPECT_EQ(root.find("gain")->toReal(), 0.1 + 0.2);
    EXPECT_EQ(root.find("on")->toBool(), true);
    EXPECT_EQ(root.find("nan")->toReal(), std::nullopt);
    const Node &texts = *root.find("texts");
    ASSERT_EQ(texts.size(), std::size(awkward));
    for (size_t i = 0; i < std::size(awkward); ++i) {
        EXPECT_EQ(texts[i].key(), awkward[i]);
        EXPECT_EQ(texts[i].text(), awkward[i]);
        EXPECT_TRUE(texts[i].isScalar());
    }
    EXPECT_EQ(trl4::yaml::quote("plain text"), "plain text");
    EXPECT_EQ(trl4::yaml::quote("bad \xFF byte"), "\"bad \xEF\xBF\xBD byte\"");
}
