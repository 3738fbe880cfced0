// The Win32 view over the program's own resource: operator input sent as window messages
// reaches the model, the model's state shows in the windows, and every panel is photographed
// into shots/win32 under the test's working folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "p_trl4.h"
#include "panel/model.h"
#include "panel/resource.h"
#include "userint.h"
#include "win32_view_impl.h"

namespace {

using panel::Input;
using trl4::panelwin::Win32View;

int g_commits = 0;
int g_lastControl = 0;

int recordControl(int, int control, int event, void *, int, int) {
    if (event == EVENT_COMMIT) {
        ++g_commits;
        g_lastControl = control;
    }
    return 0;
}
int ignorePanel(int, int, void *, int, int) {
    return 0;
}

// Width and height from a PNG file's header; zero when it is not a PNG.
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 24 ||
        !std::equal(std::begin(signature), std::end(signature), bytes.begin()) ||
        std::string(bytes.begin() + 12, bytes.begin() + 16) != "IHDR") {
        return {0, 0};
    }
    auto word = [&](std::size_t at) {
        return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
               std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
    };
    return {word(16), word(20)};
}

class Win32ViewTest : public ::testing::Test {
  protected:
    panel::Model model;
    panel::Resource resource;
    std::unique_ptr<Win32View> view;

    void SetUp() override {
        g_commits = 0;
        g_lastControl = 0;
        std::string error;
        ASSERT_TRUE(panel::loadResourceFile(TRL4_UIR_FILE, resource, error)) << error;
        view = std::make_unique<Win32View>(model);
        ASSERT_TRUE(view->ready());
        model.setView(view.get());
    }
    void TearDown() override {
        model.setView(nullptr);
        view.reset();
    }

    int show(int resourceId) {
        std::string error;
        const int handle = panel::buildPanel(
            model, resource, resourceId, 0,
            [](const std::string &, CtrlCallbackPtr *control, PanelCallbackPtr *panel) {
                *control = &recordControl;
                *panel = &ignorePanel;
                return true;
            },
            error);
        EXPECT_GT(handle, 0) << error;
        model.showPanel(handle, true);
        view->pump();
        return handle;
    }
    // Runs what the operator's input queued, as the run-time does after a pump.
    void settle() {
        view->pump();
        model.dispatch();
    }
    int page(int handle, int pageIndex) const {
        return model.control(handle, MP_TAB)->pages.at(static_cast<std::size_t>(pageIndex));
    }
};

TEST_F(Win32ViewTest, ButtonsTypedNumbersRingsAndTabsReachTheModel) {
    // The program's manifest brings common controls 6 (balloon tips, themed controls): the
    // library comes from the side-by-side assembly, not from the system folder.
    wchar_t library[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), library, MAX_PATH);
    std::wstring path(library);
    for (auto &c : path)
        c = static_cast<wchar_t>(towlower(c));
    EXPECT_NE(path.find(L"common-controls"), std::wstring::npos) << trl4::panelwin::utf8(path);

    const int mp = show(uir::MP);
    ASSERT_NE(view->window(mp), nullptr);
    wchar_t title[128] = {};
    GetWindowTextW(view->window(mp), title, 128);
    EXPECT_EQ(trl4::panelwin::utf8(title), model.panel(mp)->title);

    SendMessageW(view->body(mp, MP_SELFTEST), BM_CLICK, 0, 0);
    settle();
    EXPECT_EQ(g_commits, 1);
    EXPECT_EQ(g_lastControl, MP_SELFTEST);

    // The tab's arrow key brings the second page, whose field takes typed digits and Enter.
    HWND tab = view->body(mp, MP_TAB);
    SetFocus(tab);
    SendMessageW(tab, WM_KEYDOWN, VK_RIGHT, 0);
    settle();
    ASSERT_EQ(model.control(mp, MP_TAB)->index, uir::PP_PAGE);
    const int pp = page(mp, uir::PP_PAGE);
    HWND field = view->body(pp, PP_F_2);
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(IsWindowVisible(field));
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    for (wchar_t c : std::wstring(L"123456"))
        SendMessageW(field, WM_CHAR, c, 0);
    PostMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
    settle();
    EXPECT_EQ(model.control(pp, PP_F_2)->number, 96000.0);  // clamped to the field's limit
    wchar_t shown[32] = {};
    GetWindowTextW(field, shown, 32);
    EXPECT_EQ(trl4::panelwin::utf8(shown), panel::formatValue(*model.control(pp, PP_F_2)));

    // Garbage is refused: the model keeps its value and the field shows it again.
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abc"));
    PostMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
    settle();
    EXPECT_EQ(model.control(pp, PP_F_2)->number, 96000.0);
    GetWindowTextW(field, shown, 32);
    EXPECT_EQ(trl4::panelwin::utf8(shown), panel::formatValue(*model.control(pp, PP_F_2)));

    // A ring's items come from the program; the operator's choice is a commit.
    model.insertItem(mp, MP_MEZ_NUM, -1, {"Первый", 1.0, ""});
    model.insertItem(mp, MP_MEZ_NUM, -1, {"Второй", 2.0, ""});
    model.setIndex(mp, MP_MEZ_NUM, 0);
    HWND ring = view->body(mp, MP_MEZ_NUM);
    EXPECT_EQ(SendMessageW(ring, CB_GETCOUNT, 0, 0), 2);
    g_commits = 0;
    SetFocus(ring);
    SendMessageW(ring, WM_KEYDOWN, VK_DOWN, 0);
    settle();
    EXPECT_EQ(model.control(mp, MP_MEZ_NUM)->index, 1);
    EXPECT_EQ(g_commits, 1);
    // A program write moves the ring without sending anything back.
    model.setIndex(mp, MP_MEZ_NUM, 0);
    settle();
    EXPECT_EQ(SendMessageW(ring, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(g_commits, 1);
}

TEST_F(Win32ViewTest, StatusLineColoursDimmingAndHidingFollowTheModel) {
    const int mp = show(uir::MP);
    panel::Control *status = model.control(mp, MP_ERROR_MESSAGE);
    status->textColor = 0xFF0000;
    status->textBackground = 0xFFFFFF;
    model.setText(mp, MP_ERROR_MESSAGE, "Ошибка связи");
    model.notifyControl(mp, MP_ERROR_MESSAGE, panel::ControlChange::Attributes);
    HWND line = view->body(mp, MP_ERROR_MESSAGE);
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(GetParent(line), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    DeleteDC(dc);

    model.control(mp, MP_SELFTEST)->dimmed = true;
    model.control(mp, MP_RESET)->visible = false;
    model.notifyControl(mp, MP_SELFTEST, panel::ControlChange::Attributes);
    model.notifyControl(mp, MP_RESET, panel::ControlChange::Attributes);
    EXPECT_FALSE(IsWindowEnabled(view->body(mp, MP_SELFTEST)));
    EXPECT_FALSE(IsWindowVisible(view->body(mp, MP_RESET)));
    SendMessageW(view->body(mp, MP_SELFTEST), BM_CLICK, 0, 0);
    settle();
    EXPECT_EQ(g_commits, 0);
}

TEST_F(Win32ViewTest, AnInstalledPopupIsOwnedByTheMainWindowAndBlocksIt) {
    const int mp = show(uir::MP);
    const int popup = show(uir::EXIT_POPUP);
    EXPECT_EQ(GetWindow(view->window(popup), GW_OWNER), view->window(mp));
    ASSERT_EQ(model.installPopup(popup), 0);
    EXPECT_FALSE(IsWindowEnabled(view->window(mp)));
    EXPECT_TRUE(IsWindowEnabled(view->window(popup)));
    SendMessageW(view->body(mp, MP_SELFTEST), BM_CLICK, 0, 0);
    settle();
    EXPECT_EQ(g_commits, 0);
    // Enter presses the pop-up's default button.
    SetFocus(view->window(popup));
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    settle();
    EXPECT_EQ(g_commits, 1);
    EXPECT_EQ(g_lastControl, EXIT_POPUP_EXIT_YES);
    ASSERT_EQ(model.removePopup(), 0);
    EXPECT_TRUE(IsWindowEnabled(view->window(mp)));
}

TEST_F(Win32ViewTest, EveryPanelIsPhotographedIntoAPng) {
    // The main window first: the others are owned by it.
    const int mp = show(uir::MP);
    std::vector<std::pair<std::string, int>> panels{{"MP", mp}};
    for (const auto &entry : resource.panels) {
        if (entry.resourceId != uir::MP)
            panels.emplace_back(entry.constant, show(entry.resourceId));
    }
    panels.emplace_back("MP_CP", page(mp, uir::CP_PAGE));
    panels.emplace_back("MP_PP", page(mp, uir::PP_PAGE));
    // The selection dialog's list is built in code.
    panel::Panel si;
    si.constant = "SI";
    si.title = "Выбор генератора";
    si.geometry = {100, 100, 300, 160};
    panel::Control list;
    list.id = 2;
    list.kind = panel::Kind::ListBox;
    list.mode = panel::Mode::Hot;
    list.label = "Найденные генераторы";
    list.geometry = {24, 10, 280, 120};
    list.items = {{"VXI0::4::INSTR", 0, ""}, {"USB0::0x1234::INSTR", 1, ""}};
    si.controls.push_back(list);
    const int selection = model.addPanel(si);
    model.showPanel(selection, true);
    panels.emplace_back("SI", selection);

    for (const auto &[name, handle] : panels) {
        const std::string file = "shots/win32/" + name + ".png";
        std::string error;
        ASSERT_TRUE(view->shot(handle, file, error)) << name << ": " << error;
        const auto [width, height] = pngSize(file);
        RECT client;
        GetClientRect(view->window(handle), &client);
        EXPECT_EQ(width, static_cast<std::uint32_t>(client.right)) << name;
        EXPECT_EQ(height, static_cast<std::uint32_t>(client.bottom)) << name;
        // A blank panel has one colour; text on a field needs three.
        trl4::panelwin::Imaging imaging;
        const trl4::panelwin::Picture picture =
            imaging.load(std::wstring(file.begin(), file.end()));
        ASSERT_NE(picture.bitmap, nullptr) << name;
        DIBSECTION dib{};
        GetObjectW(picture.bitmap, sizeof(dib), &dib);
        const auto *pixels = static_cast<const std::uint32_t *>(dib.dsBm.bmBits);
        std::set<std::uint32_t> colours(pixels, pixels + picture.width * picture.height);
        EXPECT_GE(colours.size(), 3u) << name;
        DeleteObject(picture.bitmap);
    }
    const int chlp = model.findPanel("CHLP");
    EXPECT_EQ(GetWindowLongW(view->window(chlp), GWL_STYLE) & WS_THICKFRAME, WS_THICKFRAME);
    EXPECT_EQ(GetWindowLongW(view->window(mp), GWL_STYLE) & WS_THICKFRAME, 0);
}

}  // namespace
