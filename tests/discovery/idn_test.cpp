// Taking a NodaBOX "*IDN?" reply apart, and cutting text on character boundaries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "si.h"

namespace {

size_t characters(const char *s) {
    size_t n = 0;
    for (; *s != '\0'; ++s)
        n += (static_cast<unsigned char>(*s) & 0xC0) != 0x80;
    return n;
}

struct Parsed {
    bool ours;
    std::string serial;
    std::string field4;
};

Parsed parse(std::string_view reply) {
    InstrumentEntry e{};
    std::strcpy(e.serialNo, "untouched");
    std::strcpy(e.idnField4, "untouched");
    const bool ours = ParseIdnReply(reply, e);
    return {ours, e.serialNo, e.idnField4};
}

const std::string kPrefix = "ZELKORTECH,KSPBASE";

}  // namespace

TEST(IdnReply, FourFieldsAndThreeFields) {
    Parsed p = parse("ZELKORTECH,KSPBASE,1234,1.07\n");
    EXPECT_TRUE(p.ours);
    EXPECT_EQ(p.serial, "1234");
    EXPECT_EQ(p.field4, "1.07\n");  // only "," and the end end a field
    p = parse("ZELKORTECH,KSPBASE,2305\n");
    EXPECT_TRUE(p.ours);
    EXPECT_EQ(p.serial, "2305\n");
    EXPECT_EQ(p.field4, "n/a");
    p = parse("ZELKORTECH,KSPBASE,1,2,3");
    EXPECT_EQ(p.field4, "2");
}

TEST(IdnReply, OtherDevicesAreNotOursAndLeaveTheEntry) {
    for (const char *reply : {"VOLTEK,DMM-7,VK1,A.02\n", "ZELKORTECH,KSPBAS",
                              "zelkortech,kspbase,1,2", "", " ZELKORTECH,KSPBASE,1,2"}) {
        const Parsed p = parse(reply);
        EXPECT_FALSE(p.ours) << reply;
        EXPECT_EQ(p.serial, "untouched");
        EXPECT_EQ(p.field4, "untouched");
    }
}

TEST(IdnReply, ShortRepliesEndBeforeTheSerialNumber) {
    // Nothing is read past the end of the reply.
    Parsed p = parse(kPrefix);
    EXPECT_TRUE(p.ours);
    EXPECT_EQ(p.serial, "");
    EXPECT_EQ(p.field4, "n/a");
    p = parse(kPrefix + ",");
    EXPECT_EQ(p.serial, "");
    EXPECT_EQ(p.field4, "n/a");
    p = parse(kPrefix + ",,");
    EXPECT_EQ(p.serial, "");
    EXPECT_EQ(p.field4, "");
    // The character at 18 is taken as the separator without a look.
    p = parse(kPrefix + "X77,fw");
    EXPECT_EQ(p.serial, "77");
    EXPECT_EQ(p.field4, "fw");
    // A NUL ends the text.
    p = parse(std::string_view("ZELKORTECH,KSPBASE,12\0,34", 25));
    EXPECT_EQ(p.serial, "12");
    EXPECT_EQ(p.field4, "n/a");
}

TEST(IdnReply, LimitsOfSerialNumberAndFourthField) {
    // 40-character serial: 31 kept; the fourth field still follows its comma (position 59)
    // and is read up to position 82: 23 characters.
    const std::string serial40(40, 'S');
    Parsed p = parse(kPrefix + "," + serial40 + "," + std::string(60, 'F'));
    EXPECT_EQ(p.serial, std::string(31, 'S'));
    EXPECT_EQ(p.field4, std::string(23, 'F'));
    // 31-character serial: the fourth field from position 51 to 82 is 32 characters.
    p = parse(kPrefix + "," + std::string(31, 'S') + "," + std::string(60, 'F'));
    EXPECT_EQ(p.serial, std::string(31, 'S'));
    EXPECT_EQ(p.field4, std::string(32, 'F'));
    // Short serial: 33 characters at most are stored.
    p = parse(kPrefix + ",1," + std::string(60, 'F') + "\n");
    EXPECT_EQ(p.field4, std::string(33, 'F'));
}

TEST(IdnReply, CharactersNotBytes) {
    std::string cyr;
    for (int i = 0; i < 40; ++i)
        cyr += "Ж";
    Parsed p = parse(kPrefix + ",№" + cyr + ",Ё");
    EXPECT_EQ(characters(p.serial.c_str()), 31u);
    EXPECT_EQ(p.serial.substr(0, 3), "№");
    EXPECT_EQ(p.field4, "Ё");
    // A byte that starts no character counts as one and is kept as it is.
    p = parse(kPrefix + ",\xFF\xD0,x");
    EXPECT_EQ(p.serial, "\xFF\xD0");
    EXPECT_EQ(p.field4, "x");
}

TEST(CopyChars, CutsOnCharacterBoundariesAndAlwaysTerminates) {
    char buf[8];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(CopyChars(buf, 4, "ЖЖЖ", 10), 2u);  // a second Ж would not fit with the NUL
    EXPECT_STREQ(buf, "Ж");
    EXPECT_EQ(buf[4], 'Z');
    EXPECT_EQ(CopyChars(buf, sizeof buf, "abcdef", 3), 3u);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(CopyChars(buf, sizeof buf, "", 3), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(CopyChars(buf, 1, "abc", 3), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(CopyChars(buf, 0, "abc", 3), 0u);  // no room even for the NUL: nothing written
    // A sequence cut short at the end of the text is taken byte by byte.
    EXPECT_EQ(CopyChars(buf, sizeof buf, "a\xD0", 5), 2u);
    EXPECT_EQ(std::string(buf), "a\xD0");
}
