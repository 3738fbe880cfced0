// The protocol: its text formatting against the C library's, the file's bytes against a
// golden file made from the layout's own texts, the header and reopening rules.
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "support/front_panel.h"
#include "trl4/protocol.h"
#include "trl4/verification.h"

namespace {

using trl4::protocol::Arg;
using trl4::protocol::formatMessage;

TEST(ProtocolText, NumbersMatchTheCLibraryWhateverTheLocale) {
    const double values[] = {
        10.0,      0.02005, -0.001, 9.9975e-5, 123456.5,
        1234567.0, -0.0,    1e308,  5e-324,    std::numeric_limits<double>::infinity(),
        -1e-300};
    const char *formats[] = {"%-13.6lg|", "%lg%%", "%e", "%.3f", "%13.0g"};
    char expected[512];
    for (const double v : values) {
        for (const char *f : formats) {
            std::snprintf(expected, sizeof expected, f, v);
            std::setlocale(LC_ALL, "ru_RU.UTF-8");  // a comma-decimal locale where there is one
            const Arg arg = v;
            EXPECT_EQ(formatMessage(f, {&arg, 1}), expected) << f << " " << v;
            std::setlocale(LC_ALL, "C");
        }
    }
    const Arg hours = 9LL;
    EXPECT_EQ(formatMessage("Время:%d:%d", {&hours, 1}), "Время:9:");
}

TEST(ProtocolText, MessagesAreBoundedAndUnknownOrMissingConversionsHarmless) {
    const Arg huge[] = {1e308, 1e308, 1e308, 1e308};
    const Arg text = "канал";
    EXPECT_EQ(trl4::protocol::utf8Chars(formatMessage("%.60f%.60f%.60f%.60f", huge)),
              trl4::protocol::kMessageChars);
    EXPECT_EQ(formatMessage("%-7s|%.2s|%q|%d|", {&text, 1}), "канал  ||%q||");
    EXPECT_EQ(trl4::protocol::toWindows1251("Ё№ы€\n\xff"), "\xA8\xB9\xFB\x88\r\n?");
}

class Protocol : public FrontPanel {
  protected:
    void SetUp() override {
        FrontPanel::SetUp();
        SetProtocolClock([](trl4::os::LocalTime &now) {
            now = {2026, 12, 6, 9, 5, 7};
            return true;
        });
    }
    void TearDown() override {
        SetProtocolClock(nullptr);
        FrontPanel::TearDown();
    }
    static void record(int kind, double nominal, double m1, double m2) {
        measKind = kind;
        povNominal = nominal;
        povRecordPoint(m1, m2);
    }
    std::string file(const char *name = "p.log") { return (dir / name).string(); }
};

TEST_F(Protocol, FileBytesMatchTheGoldenFile) {
    crateAddr = 1, slotNum = 5, mezNum = 2;
    commitFileName(file());
    record(0, 10.0, 10.001, 9.9975);
    record(1, 25000.0, 25000.0, 25040.0);
    record(0, 0.01, 0.0101, 0.01);
    EXPECT_EQ(read(file()), read(TRL4_GOLDEN_PROTOCOL));
    // The viewer holds the same text in UTF-8, each message without its last line break.
    const std::string shown = viewer();
    EXPECT_NE(shown.find("\nВремя:9:5:7, Дата: 12-6-2026 \nПротокол поверки мезонина ТРЛ4 крейт "
                         "1,слот 5, мезонин 2\n\nПОВЕРКА ТОЧНОСТИ УСТАНОВКИ АМПЛИТУДЫ\n"),
              std::string::npos);
    int lines = 0, first = -1, visible = 0;
    GetNumTextBoxLines(CHLP, CHLP_LOG, &lines);
    GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_FIRST_VISIBLE_LINE, &first);
    GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_VISIBLE_LINES, &visible);
    EXPECT_EQ(first, lines - visible);
}

TEST_F(Protocol, AnExistingProtocolIsKeptWholeAndTheNewOneFollowsIt) {
    { std::ofstream(file(), std::ios::binary) << "older protocol, longer than the new one\r\n"; }
    commitFileName(file());
    record(1, 1.0, 1.0, 1.0);
    const std::string bytes = read(file());
    EXPECT_EQ(bytes.rfind("older protocol, longer than the new one\r\n\r\n", 0), 0u);
    EXPECT_EQ(count(bytes, "\r\n\xC2\xF0\xE5\xEC\xFF:9:5:7"), 1u);  // "Время" once
}

TEST_F(Protocol, SectionHeadersAndTheProtocolHeaderAppearWhenDue) {
    commitFileName(file());
    record(0, 10.0, 10.0, 10.0);
    record(0, 5.0, 5.0, 5.0);  // the same section
    record(1, 1000.0, 1000.0, 1000.0);
    record(0, 10.0, 10.0, 10.0);
    commitFileName(file());  // the same name: no reopening, no new header
    record(0, 10.0, 10.0, 10.0);
    const std::string shown = viewer();
    EXPECT_EQ(count(shown, "Время:"), 1u);
    EXPECT_EQ(count(shown, "АМПЛИТУДЫ"), 2u);
    EXPECT_EQ(count(shown, "ЧАСТОТЫ"), 1u);
    // Another name and back: reopened each time, the next point under a new header.
    commitFileName(file("q.log"));
    commitFileName(file());
    record(0, 10.0, 10.0, 10.0);
    EXPECT_EQ(count(viewer(), "Время:"), 2u);
    EXPECT_EQ(count(read(file()), "\xD2\xD0\xCB\x34"), 2u);  // "ТРЛ4" in two headers
    EXPECT_FALSE(std::filesystem::exists(file("q.log")) && !read(file("q.log")).empty());
}

TEST_F(Protocol, WithoutAFileTheViewerStillGetsTheProtocol) {
    commitFileName("");
    record(0, 10.0, 10.0, 10.0);
    EXPECT_EQ(count(viewer(), "Время:"), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(Protocol, AFailedOpeningIsToldAndRetriedOnTheSameName) {
    const std::string name = (dir / "missing" / "p.log").string();
    commitFileName(name);
    EXPECT_NE(statusLine().find(name), std::string::npos);
    EXPECT_NE(statusLine().find(std::strerror(ENOENT)), std::string::npos);
    EXPECT_EQ(statusColour(), kStatusRed);
    record(0, 10.0, 10.0, 10.0);
    EXPECT_EQ(count(viewer(), "НЕ НОРМА") + count(viewer(), "норма   "), 2u);
    std::filesystem::create_directory(dir / "missing");
    commitFileName(name);
    record(0, 10.0, 10.0, 10.0);
    EXPECT_EQ(count(read(name), "0.02005%"), 1u);
}

TEST_F(Protocol, ANewMezzanineKeepsTheFileAndStartsANewHeader) {
    crateAddr = 1, slotNum = 5, mezNum = 2;
    commitFileName(file());
    record(0, 10.0, 10.0, 10.0);
    mezNum = 4;
    logFileName[0] = '\0';  // what the session opening does
    commitFileName(file());
    EXPECT_STREQ(logFileName, file().c_str());
    record(0, 10.0, 10.0, 10.0);
    EXPECT_NE(viewer().find("слот 5, мезонин 4\n"), std::string::npos);
    commitFileName(file("q.log"));  // name changes keep working
    record(0, 10.0, 10.0, 10.0);
    EXPECT_EQ(count(read(file("q.log")), "0.02005%"), 1u);
    EXPECT_EQ(count(read(file()), "0.02005%"), 2u);
}

TEST_F(Protocol, ALongCyrillicNameIsKeptWholeAndALongerOneIsRefused) {
    std::string name = dir.string() + "/";
    while (trl4::protocol::utf8Chars(name) < kLogFileNameChars)
        name += trl4::protocol::utf8Chars(name) % 100 == 0 ? "/" : "ж";
    std::filesystem::create_directories(std::filesystem::path(name).parent_path());
    commitFileName(name);
    EXPECT_EQ(std::string(logFileName), name);
    EXPECT_TRUE(std::filesystem::exists(name));
    ShowStatusLine("", kStatusWhite);
    view()->chosenFile = name + "ж";
    selFName(PP, PP_BROWSE, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(std::string(logFileName), name);
    EXPECT_EQ(statusColour(), kStatusRed);
}

TEST_F(Protocol, BrowsingChoosesTheFileAndCancellingChangesNothing) {
    commitFileName(file());
    selFName(PP, PP_BROWSE, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_STREQ(logFileName, file().c_str());
    view()->chosenFile = file("q.log");
    selFName(PP, PP_BROWSE, EVENT_COMMIT, nullptr, 0, 0);
    char shown[kLogFileNameSize] = "";
    GetCtrlVal(PP, PP_FILE_NAME, shown, sizeof shown);
    EXPECT_EQ(std::string(shown), file("q.log"));
    EXPECT_TRUE(std::filesystem::exists(file("q.log")));
}

}  // namespace
