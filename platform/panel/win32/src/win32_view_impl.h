// The Win32 view: the windows of the window view's core, one per panel and one child window
// per control. Notifications that the view's own updates cause reach the core while it
// updates and are dropped there, so a value the program sets never comes back as operator
// input; operator input goes to the core's input* entry points, and through them to the model.
#pragma once

#include <windows.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "panel/model.h"
#include "panel/window_view.h"
#include "wic.h"

namespace trl4::panelwin {

std::wstring wide(const std::string &utf8);
std::string utf8(const std::wstring &text);

class Win32View final : public panel::WindowView {
  public:
    explicit Win32View(panel::Model &model);
    ~Win32View() override;

    // False when the window class could not be registered.
    bool ready() const { return atom_ != 0; }

    const char *name() const override { return "win32"; }
    bool interactive() const override { return true; }
    void pump() override;
    void waitAndPump(std::chrono::milliseconds bound) override;
    void showMessage(const std::string &title, const std::string &text) override;
    int selectFile(const panel::FileRequest &request, std::string &path) override;
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
        std::string shownImage;  // picture: the file last asked for
        Picture picture;
    };
    struct PanelWindows {
        HWND window = nullptr;
        std::map<int, ControlWindows> controls;
    };
    // Which control a child window shows.
    struct Owner {
        int panel = 0;
        int control = 0;
        bool label = false;
    };

    bool createPanel(int handle, const panel::Panel &model) override;
    bool createControl(int panel, const panel::Control &control) override;
    void destroyControl(int panel, int control) override;
    void dropWindows(int handle, const std::vector<int> &gone) override;
    void ownerGone(int handle) override;
    void paintPanel(int handle, const panel::Panel &model) override;
    void placeInner(int handle, const panel::Panel &model) override;
    void placeWindow(int handle, const panel::Panel &model,
                     const panel::WindowPlacement &place) override;
    void showWindow(int handle, const panel::Panel &model) override;
    void takeInput(int handle, bool takes) override;
    void showLook(const panel::Panel &owner, const panel::Control &control) override;
    void showItems(int panel, const panel::Control &control) override;
    void showValue(int panel, const panel::Control &control, const std::string &text) override;
    void showLines(int panel, const panel::Control &control, std::size_t kept) override;
    void showPages(int panel, const panel::Control &tab, const std::vector<int> &pages) override;
    void frontPage(int panel, const panel::Control &tab, const std::vector<int> &pages,
                   bool hasFront) override;
    void refuseInput(int panel, int control, const std::string &reason) override;
    void beep() override;
    bool picture(int panel, const std::filesystem::path &file, std::string &error) override;

    static LRESULT CALLBACK panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT panelMessage(int handle, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void command(WORD code, HWND from);
    void dialogKey(int handle, WORD id);
    HBRUSH colours(HDC dc, HWND from, int handle);
    void draw(const DRAWITEMSTRUCT &item);

    void placeLabel(const panel::Control &control, HWND label);
    HFONT font(const std::string &family);
    HBRUSH brush(std::uint32_t colour);
    void destroyDoomed();
    // The entry field with the focus, when the operator edited it, reaches the model first.
    void commitFocusedField();
    ControlWindows *windows(int panel, int control);

    ATOM atom_ = 0;
    Imaging imaging_;
    std::map<int, PanelWindows> panels_;
    std::map<HWND, int> panelOf_;    // panel and page windows
    std::map<HWND, Owner> ownerOf_;  // control windows
    std::vector<HWND> doomed_;
    std::map<std::string, HFONT> fonts_;
    std::map<std::uint32_t, HBRUSH> brushes_;
};

}  // namespace trl4::panelwin
