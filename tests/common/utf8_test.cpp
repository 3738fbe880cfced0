// The one UTF-8 helper: where sequences are refused and where texts are cut.
#include "trl4/utf8.h"

#include <gtest/gtest.h>

namespace utf8 = trl4::utf8;

TEST(Utf8Test, RefusesMalformedSequences) {
    EXPECT_TRUE(utf8::valid("Поверка ТРЛ4 \xF0\x9F\x98\x80"));
    for (const char *bad : {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80", "\xD0", "\xE2\x82"}) {
        EXPECT_FALSE(utf8::valid(bad)) << testing::PrintToString(bad);
    }
    EXPECT_EQ(utf8::sequenceLength("\xD0\x96", 0), 2u);
    EXPECT_EQ(utf8::sequenceLength("\xD0\x96", 1), 0u);
}

TEST(Utf8Test, CutsOnlyBetweenCharacters) {
    const std::string text = "жук";  // two bytes a character
    EXPECT_EQ(utf8::length(text), 3u);
    EXPECT_EQ(utf8::fitBytes(text, 3), 2u);
    EXPECT_EQ(utf8::fitBytes(text, 4), 4u);
    EXPECT_EQ(utf8::fitBytes(text, 1), 0u);
    EXPECT_EQ(utf8::fitBytes(text, 99), text.size());
    EXPECT_EQ(utf8::prefixBytes(text, 2), 4u);
    EXPECT_EQ(utf8::prefixBytes(text, 0), 0u);
    EXPECT_EQ(utf8::prefixBytes(text, 5), text.size());
}

TEST(Utf8Test, DecodesAndEncodesEveryLength) {
    for (char32_t code : {U'A', U'ж', U'€', U'\U0001F600', U'\U0010FFFF'}) {
        std::string encoded;
        utf8::append(encoded, code);
        EXPECT_TRUE(utf8::valid(encoded));
        EXPECT_EQ(utf8::firstCodePoint(encoded + "x"), code);
    }
    EXPECT_EQ(utf8::firstCodePoint(""), 0u);
    EXPECT_EQ(utf8::firstCodePoint("\xC0\xAF"), 0u);
}
