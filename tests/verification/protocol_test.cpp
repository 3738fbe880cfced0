// The protocol: formatting against the C library's, the file's bytes against a golden file made
// from the layout's own texts, the header and reopening rules, failures told.
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <limits>

#include "support/front_panel.h"
#include "trl4/protocol.h"
#include "trl4/verification.h"

namespace {

using trl4::protocol::Arg;
using trl4::protocol::formatMessage;

TEST(ProtocolText, NumbersAsTheCLibraryWritesThemWhateverTheLocaleAndBounded) {
    char expected[512];
    for (const double v : {10.0, 0.02005, -0.001, 9.9975e-5, 123456.5, 1234567.0, -0.0, 1e308,
                           5e-324, std::numeric_limits<double>::infinity(), -1e-300}) {
        for (const char *f : {"%-13.6lg|", "%lg%%", "%e", "%.3f", "%13.0g"}) {
            std::snprintf(expected, sizeof expected, f, v);
            std::setlocale(LC_ALL, "ru_RU.UTF-8");  // a comma-decimal locale where there is one
            const Arg arg = v;
            EXPECT_EQ(formatMessage(f, {&arg, 1}), expected) << f << " " << v;
            std::setlocale(LC_ALL, "C");
        }
    }
    const Arg args[] = {1e308, 1e308, 1e308, "канал"};
    EXPECT_EQ(trl4::protocol::utf8Chars(formatMessage("%.60f%.60f%.60f%.60f", args)), 1023u);
    EXPECT_EQ(formatMessage("%-7s|%.2s|%q|%d|", {&args[3], 1}), "канал  ||%q||");
    EXPECT_EQ(trl4::protocol::toWindows1251("Ё№ы€\n\xff"), "\xA8\xB9\xFB\x88\r\n?");
}

class Protocol : public FrontPanel {
  protected:
    void SetUp() override {
        FrontPanel::SetUp();
        SetProtocolClock(
            [](trl4::os::LocalTime &now) { return now = {2026, 12, 6, 9, 5, 7}, true; });
        crateAddr = 1, slotNum = 5, mezNum = 2;
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

TEST_F(Protocol, FileBytesMatchTheGoldenFileAndTheViewerTheSameText) {
    commitFileName(file());
    record(0, 10.0, 10.001, 9.9975);
    record(1, 25000.0, 25000.0, 25040.0);
    record(0, 0.01, 0.0101, 0.01);
    EXPECT_EQ(read(file()), read(TRL4_GOLDEN_PROTOCOL));
    EXPECT_EQ(viewer().rfind("\nВремя:9:5:7, Дата: 12-6-2026 \nПротокол поверки мезонина ТРЛ4 "
                             "крейт 1,слот 5, мезонин 2\n\nПОВЕРКА ТОЧНОСТИ УСТАНОВКИ АМПЛИТУДЫ\n",
                             0),
              0u);
    int lines = 0, first = -1, visible = 0;
    GetNumTextBoxLines(CHLP, CHLP_LOG, &lines);
    GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_FIRST_VISIBLE_LINE, &first);
    GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_VISIBLE_LINES, &visible);
    EXPECT_EQ(first, lines - visible);
}

TEST_F(Protocol, HeadersAppearWhenDueAndAnOldProtocolIsKeptWhole) {
    std::ofstream(file(), std::ios::binary) << "older, longer protocol\r\n";
    commitFileName("");
    record(0, 10.0, 10.0, 10.0);  // no file yet: the viewer only
    commitFileName(file());
    record(0, 10.0, 10.0, 10.0);
    record(0, 5.0, 5.0, 5.0);  // the same section
    record(1, 1000.0, 1000.0, 1000.0);
    record(0, 10.0, 10.0, 10.0);
    commitFileName(file());  // the same name: neither reopened nor a new header
    record(0, 10.0, 10.0, 10.0);
    EXPECT_EQ(count(viewer(), "Время:"), 2u);
    EXPECT_EQ(count(viewer(), "АМПЛИТУДЫ"), 3u);
    EXPECT_EQ(count(viewer(), "ЧАСТОТЫ"), 1u);
    commitFileName(file("q.log"));  // another name and back: a new header each time
    commitFileName(file());
    record(0, 10.0, 10.0, 10.0);
    const std::string bytes = read(file());
    EXPECT_EQ(bytes.rfind("older, longer protocol\r\n\r\n\xC2\xF0\xE5\xEC\xFF:", 0), 0u);
    EXPECT_EQ(count(bytes, "\xC2\xF0\xE5\xEC\xFF:"), 2u);  // "Время:"
    EXPECT_EQ(count(bytes, "0.02005%"), 4u);
    EXPECT_EQ(read(file("q.log")), "");
}

TEST_F(Protocol, AFailedOpeningIsToldAndRetriedOnTheSameName) {
    const std::string name = file("missing/p.log");
    commitFileName(name);
    EXPECT_EQ(statusLine(), "Не открыт файл протокола " + name + ": " + std::strerror(ENOENT));
    EXPECT_TRUE(statusRed());
    record(0, 10.0, 10.0, 10.0);
    EXPECT_EQ(count(viewer(), "0.02005%"), 1u);
    std::filesystem::create_directory(dir / "missing");
    commitFileName(name);
    record(0, 10.0, 10.0, 10.0);
    EXPECT_EQ(count(read(name), "0.02005%"), 1u);
}

TEST_F(Protocol, ANewMezzanineKeepsTheFileAndStartsANewHeader) {
    commitFileName(file());
    record(0, 10.0, 10.0, 10.0);
    mezNum = 4;
    logFileName[0] = '\0';  // what the session opening does
    commitFileName(file());
    EXPECT_EQ(logFileName, file());
    record(0, 10.0, 10.0, 10.0);
    EXPECT_NE(viewer().find("слот 5, мезонин 4\n"), std::string::npos);
    commitFileName(file("q.log"));  // name changes keep working
    record(0, 10.0, 10.0, 10.0);
    EXPECT_EQ(count(read(file("q.log")), "0.02005%"), 1u);
    EXPECT_EQ(count(read(file()), "0.02005%"), 2u);
}

TEST_F(Protocol, ANameOf259CyrillicLettersIsKeptWholeAndALongerOneRefused) {
    std::string name = dir.string();
    while (trl4::protocol::utf8Chars(name) < kLogFileNameChars)
        name += trl4::protocol::utf8Chars(name) % 100 == 0 ? "/" : "ж";
    // The names are UTF-8, whatever the platform's narrow encoding.
    const std::filesystem::path file(std::u8string(name.begin(), name.end()));
    std::filesystem::create_directories(file.parent_path());
    view()->chosenFile = name;
    commit(selFName, PP, PP_BROWSE);
    EXPECT_EQ(logFileName, name);
    EXPECT_TRUE(std::filesystem::exists(file));
    view()->chosenFile = name + "ж";
    commit(selFName, PP, PP_BROWSE);
    EXPECT_TRUE(statusRed());
    view()->chosenFile.clear();  // cancelled
    commit(selFName, PP, PP_BROWSE);
    char shown[kLogFileNameSize] = "";
    GetCtrlVal(PP, PP_FILE_NAME, shown, sizeof shown);
    EXPECT_EQ(shown, name);
}

}  // namespace
