// The Win32 view: one window per panel, one child window per control, kept in step with the
// model. Notifications that the view's own updates cause are ignored (`syncing_`), so a value
// the program sets never comes back as operator input; operator input goes only through the
// model's operator* entry points.
#pragma once

#include <windows.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "panel/model.h"
#include "panel/view.h"
#include "wic.h"

namespace trl4::panelwin {

std::wstring wide(const std::string &utf8);
std::string utf8(const std::wstring &text);

class Win32View final : public panel::View {
  public:
    explicit Win32View(panel::Model &model);
    ~Win32View() override;
    Win32View(const Win32View &) = delete;
    Win32View &operator=(const Win32View &) = delete;

    // False when the window class could not be registered.
    bool ready() const { return atom_ != 0; }

    const char *name() const override { return "win32"; }
    bool interactive() const override { return true; }
    void pump() override;
    void waitAndPump(std::chrono::milliseconds bound) override;
    void panelChanged(int panel, panel::PanelChange change) override;
    void controlChanged(int panel, int control, panel::ControlChange change) override;
    void popupChanged(int panel, bool installed) override;
    void showMessage(const std::string &title, const std::string &text) override;
    int selectFile(const panel::FileRequest &request, std::string &path) override;
    bool shot(int panel, const std::string &file, std::string &error) override;
    panel::ScreenSize screen() const override;

    // Looking at what the view drew (tests). Null when not built: a panel's windows are built
    // when it is first shown (or photographed).
    HWND window(int panel) const;
    HWND body(int panel, int control) const;
    HWND label(int panel, int control) const;

  private:
    struct ControlWindows {
        panel::Kind kind = panel::Kind::Button;
        HWND body = nullptr;
        HWND label = nullptr;
        std::wstring modelText;               // entry field: what the model last showed
        std::vector<std::string> shownLines;  // text box: what the window holds
        std::string shownImage;               // picture: the file last asked for
        Picture picture;
    };
    struct PanelWindows {
        HWND window = nullptr;
        std::map<int, ControlWindows> controls;
        bool filled = false;  // controls built
        bool placed = false;
        panel::Geometry placedAt;  // the model's geometry last applied to the window
    };
    // Which control a child window shows.
    struct Owner {
        int panel = 0;
        int control = 0;
        bool label = false;
    };

    static LRESULT CALLBACK panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT panelMessage(int handle, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void command(int handle, WORD code, HWND from);
    void dialogKey(int handle, WORD id);
    HBRUSH colours(HDC dc, HWND from, int handle);
    void draw(const DRAWITEMSTRUCT &item);

    HFONT font(const std::string &family);
    HBRUSH brush(std::uint32_t colour);
    int topLevel(int handle) const;
    bool built(int handle) const;
    bool wanted(int handle) const;
    PanelWindows *ensurePanel(int handle);
    void fillPanel(int handle);
    void fillPage(const panel::Control &tab);
    void buildControl(int panel, PanelWindows &windows, const panel::Control &control);
    void syncPanel(int handle);
    void placeTopLevel(int handle, const panel::Panel &model, PanelWindows &windows);
    void applyModality();
    void syncControl(int panel, int control);
    void syncLook(const panel::Panel &owner, const panel::Control &control, ControlWindows &w);
    void syncValue(const panel::Control &control, ControlWindows &w);
    void syncItems(const panel::Control &control, ControlWindows &w);
    void syncLines(const panel::Control &control, ControlWindows &w);
    void syncPages(int panel, const panel::Control &control, ControlWindows &w);
    void placeLabel(const panel::Control &control, HWND label);
    void dropPanel(int handle);
    void destroyDoomed();
    // An entry field the operator edited reaches the model when confirmed.
    void commitField(int panel, int control);
    void commitFocusedField();
    void pressDefault(int handle);
    // After operator input the control shows the model again, accepted or not.
    void afterInput(int panel, int control, panel::Input result);
    ControlWindows *windows(int panel, int control);
    std::wstring picturePath(const std::string &image) const;

    panel::Model &model_;
    ATOM atom_ = 0;
    Imaging imaging_;
    std::map<int, PanelWindows> panels_;
    std::map<HWND, int> panelOf_;    // panel and page windows
    std::map<HWND, Owner> ownerOf_;  // control windows
    std::vector<HWND> doomed_;
    std::map<std::string, HFONT> fonts_;
    std::map<std::uint32_t, HBRUSH> brushes_;
    std::wstring pictureFolder_;
    int mainPanel_ = 0;
    int syncing_ = 0;  // the view itself is changing windows: notifications are not input
};

}  // namespace trl4::panelwin
