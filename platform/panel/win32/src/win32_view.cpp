#include "panel/win32_view.h"

// The common-control headers build on the base one.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "panel/kinds.h"
#include "win32_view_impl.h"

namespace trl4::panelwin {

using panel::Control;
using panel::Kind;
using panel::Mode;

namespace {

constexpr wchar_t kPanelClass[] = L"Trl4Panel";
constexpr int kFontPixels = 12;
// Child window ids clear of IDOK and IDCANCEL, which the dialog keys send.
constexpr int kFirstControlId = 100;
constexpr int kLabelId = 0xFFFF;
// Posted after the operator scrolled a text box, once the box has moved.
constexpr UINT kScrolled = WM_APP + 1;
// Pictures and rings need room the model's geometry does not count.
constexpr int kRingDropHeight = 200;
// A pump handles at most this many messages, so the program's own work is never starved.
constexpr int kMessagesPerPump = 2000;

COLORREF colorRef(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFFu, (rgb >> 8) & 0xFFu, rgb & 0xFFu);
}

// The label with its keyboard shortcut marked.
std::wstring mnemonic(const std::string &label) {
    return wide(panel::mnemonicLabel(label));
}

// The window class and styles each control kind is drawn with.
struct WindowLook {
    const wchar_t *windowClass;
    DWORD style;
    DWORD exStyle;
};

WindowLook windowLook(const Control &control) {
    switch (control.kind) {
        case Kind::Button:
            return {WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, 0};
        case Kind::CheckBox:
            // Not an automatic box: the model decides, the box follows it.
            return {WC_BUTTONW, WS_TABSTOP | BS_CHECKBOX, 0};
        case Kind::Numeric:  // numbers line up on the right, as on an instrument's display
            return {WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL | ES_RIGHT, WS_EX_CLIENTEDGE};
        case Kind::String:
            return {WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case Kind::TextMessage:
            return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
        case Kind::TextBox:
            return {WC_EDITW,
                    WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                        ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                    WS_EX_CLIENTEDGE};
        case Kind::Ring:
            return {WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
        case Kind::ListBox:
            return {WC_LISTBOXW, WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                    WS_EX_CLIENTEDGE};
        case Kind::Tab:
            return {WC_TABCONTROLW, WS_TABSTOP, 0};
        case Kind::Picture:
        case Kind::Decoration:
            return {WC_STATICW, SS_OWNERDRAW, 0};
        case Kind::Splitter:
            return {WC_STATICW,
                    static_cast<DWORD>(control.geometry.width >= control.geometry.height
                                           ? SS_ETCHEDHORZ
                                           : SS_ETCHEDVERT),
                    0};
    }
    return {WC_STATICW, 0, 0};
}

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

void setWindowText(HWND window, const std::wstring &text) {
    if (windowText(window) != text) SetWindowTextW(window, text.c_str());
}

std::wstring joinLines(std::vector<std::string>::const_iterator first,
                       std::vector<std::string>::const_iterator last) {
    std::wstring all;
    for (auto it = first; it != last; ++it) {
        if (it != first) all += L"\r\n";
        all += wide(*it);
    }
    return all;
}

std::vector<std::wstring> shownItems(HWND window, UINT countMessage, UINT lengthMessage,
                                     UINT textMessage) {
    const LRESULT count = SendMessageW(window, countMessage, 0, 0);
    std::vector<std::wstring> items;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(window, lengthMessage, static_cast<WPARAM>(i), 0);
        std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        SendMessageW(window, textMessage, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
        items.push_back(std::move(text));
    }
    return items;
}

}  // namespace

std::wstring wide(const std::string &text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), length);
    return out;
}

std::string utf8(const std::wstring &text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), length, nullptr, nullptr);
    return out;
}

Win32View::Win32View(panel::Model &model) : panel::WindowView(model) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW panelClass{};
    panelClass.cbSize = sizeof(panelClass);
    panelClass.style = CS_DBLCLKS;
    panelClass.lpfnWndProc = &Win32View::panelProc;
    panelClass.hInstance = GetModuleHandleW(nullptr);
    panelClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    panelClass.hIcon = LoadIconW(panelClass.hInstance, MAKEINTRESOURCEW(1));
    panelClass.lpszClassName = kPanelClass;
    atom_ = RegisterClassExW(&panelClass);
    if (atom_ == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        atom_ = static_cast<ATOM>(GetClassInfoExW(panelClass.hInstance, kPanelClass, &panelClass));
    }
    showExisting();
}

Win32View::~Win32View() {
    detach();
    const Updating updating(*this);
    for (auto &[handle, windows] : panels_) {
        for (auto &[id, w] : windows.controls) {
            if (w.picture.bitmap != nullptr) DeleteObject(w.picture.bitmap);
        }
        if (windows.window != nullptr && GetParent(windows.window) == nullptr) {
            DestroyWindow(windows.window);
        }
    }
    panels_.clear();
    destroyDoomed();
    for (auto &[family, font] : fonts_)
        DeleteObject(font);
    for (auto &[colour, brush] : brushes_)
        DeleteObject(brush);
}

// ---- Messages ------------------------------------------------------------------------------

void Win32View::pump() {
    MSG message;
    for (int handled = 0;
         handled < kMessagesPerPump && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
         ++handled) {
        // Enter, Esc, Tab and the Alt shortcuts work in every panel as in a dialog.
        HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (root != nullptr && panelOf_.count(root) != 0 && IsDialogMessageW(root, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    destroyDoomed();
}

void Win32View::waitAndPump(std::chrono::milliseconds bound) {
    const auto ms = std::clamp<std::chrono::milliseconds::rep>(bound.count(), 0, 60000);
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    pump();
}

LRESULT CALLBACK Win32View::panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *view = reinterpret_cast<Win32View *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (view != nullptr) {
        const auto it = view->panelOf_.find(hwnd);
        if (it != view->panelOf_.end()) {
            try {
                return view->panelMessage(it->second, hwnd, message, wParam, lParam);
            } catch (const std::exception &e) {
                std::fprintf(stderr, "win32 view: %s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "win32 view: unexpected failure\n");
            }
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32View::panelMessage(int handle, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT: {
            const panel::Panel *model = this->model().panel(handle);
            RECT area;
            GetClientRect(hwnd, &area);
            FillRect(reinterpret_cast<HDC>(wParam), &area,
                     brush(model != nullptr ? model->background : 0xC0C0C0));
            return 1;
        }
        case WM_COMMAND:
            if (lParam == 0) {
                dialogKey(handle, LOWORD(wParam));
            } else {
                command(HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            }
            return 0;
        case WM_NOTIFY: {
            const auto *header = reinterpret_cast<const NMHDR *>(lParam);
            const auto owner = ownerOf_.find(header->hwndFrom);
            if (header->code == TCN_SELCHANGE && owner != ownerOf_.end()) {
                inputSelect(owner->second.panel, owner->second.control,
                            TabCtrl_GetCurSel(header->hwndFrom));
            }
            return 0;
        }
        case kScrolled: {
            const int id = static_cast<int>(wParam);
            ControlWindows *w = windows(handle, id);
            if (w != nullptr && w->body != nullptr) {
                const auto line = SendMessageW(w->body, EM_GETFIRSTVISIBLELINE, 0, 0);
                inputScroll(handle, id, static_cast<int>(line));
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            if (HBRUSH painted = colours(reinterpret_cast<HDC>(wParam),
                                         reinterpret_cast<HWND>(lParam), handle)) {
                return reinterpret_cast<LRESULT>(painted);
            }
            break;
        case WM_DRAWITEM:
            draw(*reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
            return TRUE;
        case WM_CLOSE:
            inputClose(handle);
            return 0;
        case WM_SIZE: {
            const panel::Panel *model = this->model().panel(handle);
            if (wParam != SIZE_MINIMIZED && model != nullptr && model->parent == 0 &&
                model->sizable) {
                inputResize(handle, LOWORD(lParam), HIWORD(lParam));
            }
            break;
        }
        case WM_SETFOCUS:
            // A panel window itself takes no keys: its first control does.
            if (HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE)) SetFocus(first);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32View::dialogKey(int handle, WORD id) {
    if (updating()) return;
    if (id == IDOK) {
        // Enter confirms the focused list line, or the focused field and then the default.
        const auto focus = ownerOf_.find(GetFocus());
        if (focus != ownerOf_.end() && !focus->second.label) {
            const Control *control = model().control(focus->second.panel, focus->second.control);
            if (control != nullptr && control->kind == Kind::ListBox) {
                inputCommit(focus->second.panel, focus->second.control);
                return;
            }
        }
        commitFocusedField();
        inputDefault(handle);
    } else if (id == IDCANCEL) {
        inputEscape(handle);
    }
}

void Win32View::command(WORD code, HWND from) {
    // The view's own changes notify too: a scroll it sets must not come back as the operator's.
    if (updating()) return;
    const auto owner = ownerOf_.find(from);
    if (owner == ownerOf_.end() || owner->second.label) return;
    const int panel = owner->second.panel;
    const int id = owner->second.control;
    const Control *control = model().control(panel, id);
    if (control == nullptr) return;
    switch (control->kind) {
        case Kind::Button:
            if (code == BN_CLICKED) {
                commitFocusedField();
                inputCommit(panel, id);
            }
            break;
        case Kind::CheckBox:
            if (code == BN_CLICKED) {
                commitFocusedField();
                inputToggle(panel, id);
            }
            break;
        case Kind::Numeric:
        case Kind::String:
            if (code == EN_KILLFOCUS) inputText(panel, id, utf8(windowText(from)));
            break;
        case Kind::TextBox:
            // Scrolling is the operator's own business; the model only hears where it went.
            if (code == EN_VSCROLL) {
                PostMessageW(GetParent(from), kScrolled, static_cast<WPARAM>(id), 0);
            }
            break;
        case Kind::Ring:
            if (code == CBN_SELCHANGE) {
                inputSelect(panel, id, static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0)));
            }
            break;
        case Kind::ListBox:
            if (code == LBN_SELCHANGE) {
                inputSelect(panel, id, static_cast<int>(SendMessageW(from, LB_GETCURSEL, 0, 0)));
            } else if (code == LBN_DBLCLK) {
                inputDoubleClick(panel, id);
            }
            break;
        default:
            break;
    }
}

HBRUSH Win32View::colours(HDC dc, HWND from, int handle) {
    const panel::Panel *owner = model().panel(handle);
    const std::uint32_t face = owner != nullptr ? owner->background : 0xC0C0C0;
    const auto it = ownerOf_.find(from);
    if (it == ownerOf_.end()) return nullptr;
    const Control *control = model().control(it->second.panel, it->second.control);
    if (control == nullptr || it->second.label) {
        SetBkMode(dc, TRANSPARENT);
        return brush(face);
    }
    switch (control->kind) {
        case Kind::Numeric:
        case Kind::String:
        case Kind::TextBox:
        case Kind::ListBox:
            if (!control->dimmed) SetTextColor(dc, colorRef(control->textColor));
            SetBkColor(dc, colorRef(control->textBackground));
            return brush(control->textBackground);
        case Kind::TextMessage:
            if (!control->dimmed) SetTextColor(dc, colorRef(control->textColor));
            SetBkColor(dc, colorRef(control->background));
            return brush(control->background);
        case Kind::Ring:
            SetTextColor(dc, colorRef(control->textColor));
            SetBkColor(dc, colorRef(control->textBackground));
            return brush(control->textBackground);
        default:
            SetBkMode(dc, TRANSPARENT);
            return brush(face);
    }
}

void Win32View::draw(const DRAWITEMSTRUCT &item) {
    const auto it = ownerOf_.find(item.hwndItem);
    if (it == ownerOf_.end()) return;
    const Control *control = model().control(it->second.panel, it->second.control);
    ControlWindows *w = windows(it->second.panel, it->second.control);
    const panel::Panel *owner = model().panel(it->second.panel);
    if (control == nullptr || w == nullptr || owner == nullptr) return;
    RECT area = item.rcItem;
    if (control->kind == Kind::Decoration) {
        FillRect(item.hDC, &area, brush(control->background));
        DrawEdge(item.hDC, &area, EDGE_ETCHED, BF_RECT);
        return;
    }
    FillRect(item.hDC, &area, brush(owner->background));
    const Picture &picture = w->picture;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (picture.bitmap == nullptr || width <= 0 || height <= 0) {
        // A missing picture shows as such and never breaks the panel.
        FillRect(item.hDC, &area, brush(0xA0A0A0));
        DrawEdge(item.hDC, &area, EDGE_SUNKEN, BF_RECT);
        return;
    }
    // Scaled to fit with its proportions kept, centred.
    const double scale = std::min(static_cast<double>(width) / picture.width,
                                  static_cast<double>(height) / picture.height);
    const int shownWidth = std::max(1, static_cast<int>(picture.width * scale + 0.5));
    const int shownHeight = std::max(1, static_cast<int>(picture.height * scale + 0.5));
    HDC source = CreateCompatibleDC(item.hDC);
    HGDIOBJ old = SelectObject(source, picture.bitmap);
    SetStretchBltMode(item.hDC, HALFTONE);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(item.hDC, area.left + (width - shownWidth) / 2,
                  area.top + (height - shownHeight) / 2, shownWidth, shownHeight, source, 0, 0,
                  picture.width, picture.height, blend);
    SelectObject(source, old);
    DeleteDC(source);
}

// ---- Resources -----------------------------------------------------------------------------

HFONT Win32View::font(const std::string &family) {
    // Matching a face is not free: each family is resolved once. Where the system lacks
    // the named face, its metric-compatible twin keeps every text within its control.
    auto it = fonts_.find(family);
    if (it != fonts_.end()) return it->second;
    const std::string wanted = family.empty() ? "Arial" : family;
    auto make = [](const std::wstring &face) {
        return CreateFontW(-kFontPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    };
    auto faceOf = [](HFONT candidate) {
        HDC screen = GetDC(nullptr);
        HGDIOBJ old = SelectObject(screen, candidate);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(screen, LF_FACESIZE, face);
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
        return std::wstring(face);
    };
    HFONT chosen = make(wide(wanted));
    if (_wcsicmp(faceOf(chosen).c_str(), wide(wanted).c_str()) != 0) {
        const bool mono = wanted.rfind("Courier", 0) == 0;
        const std::wstring twin = mono ? L"Liberation Mono" : L"Liberation Sans";
        HFONT other = make(twin);
        if (_wcsicmp(faceOf(other).c_str(), twin.c_str()) == 0) {
            DeleteObject(chosen);
            chosen = other;
        } else {
            DeleteObject(other);
        }
    }
    fonts_.emplace(family, chosen);
    return chosen;
}

HBRUSH Win32View::brush(std::uint32_t colour) {
    auto it = brushes_.find(colour);
    if (it == brushes_.end())
        it = brushes_.emplace(colour, CreateSolidBrush(colorRef(colour))).first;
    return it->second;
}

// ---- Building ------------------------------------------------------------------------------

HWND Win32View::window(int panel) const {
    const auto it = panels_.find(panel);
    return it == panels_.end() ? nullptr : it->second.window;
}

Win32View::ControlWindows *Win32View::windows(int panel, int control) {
    const auto it = panels_.find(panel);
    if (it == panels_.end()) return nullptr;
    const auto c = it->second.controls.find(control);
    return c == it->second.controls.end() ? nullptr : &c->second;
}

HWND Win32View::body(int panel, int control) const {
    const auto it = panels_.find(panel);
    if (it == panels_.end()) return nullptr;
    const auto c = it->second.controls.find(control);
    return c == it->second.controls.end() ? nullptr : c->second.body;
}

HWND Win32View::label(int panel, int control) const {
    const auto it = panels_.find(panel);
    if (it == panels_.end()) return nullptr;
    const auto c = it->second.controls.find(control);
    return c == it->second.controls.end() ? nullptr : c->second.label;
}

bool Win32View::createPanel(int handle, const panel::Panel &model) {
    const bool child = model.parent != 0;
    const DWORD style =
        child ? WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN
              : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_MINIMIZEBOX;
    HWND parent = child ? window(model.parent) : nullptr;
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"", style, CW_USEDEFAULT,
                                CW_USEDEFAULT, model.geometry.width, model.geometry.height, parent,
                                nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd == nullptr) return false;
    PanelWindows &windows = panels_[handle];
    windows = PanelWindows{};
    windows.window = hwnd;
    panelOf_[hwnd] = handle;
    return true;
}

bool Win32View::createControl(int panel, const Control &control) {
    const auto owner = panels_.find(panel);
    if (owner == panels_.end() || owner->second.window == nullptr) return false;
    PanelWindows &windows = owner->second;
    ControlWindows &w = windows.controls[control.id];
    w.kind = control.kind;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    // The label comes first: Alt and its letter move the focus on to the control after it.
    if (w.label == nullptr && panel::kindInfo(control.kind).labelBeside) {
        w.label = CreateWindowExW(
            0, WC_STATICW, L"", WS_CHILD | WS_CLIPSIBLINGS | SS_LEFT, 0, 0, 0, 0, windows.window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)), instance, nullptr);
        if (w.label != nullptr) ownerOf_[w.label] = {panel, control.id, true};
    }
    const WindowLook look = windowLook(control);
    w.body = CreateWindowExW(
        look.exStyle, look.windowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | look.style, 0, 0, 0, 0,
        windows.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + control.id)),
        instance, nullptr);
    if (w.body == nullptr) return false;
    ownerOf_[w.body] = {panel, control.id, false};
    // A new child window goes below its siblings; frames and lines stay beneath everything.
    for (const auto &[other, ow] : windows.controls) {
        if ((ow.kind == Kind::Decoration || ow.kind == Kind::Splitter) && ow.body != nullptr) {
            SetWindowPos(ow.body, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    if (control.kind == Kind::TextBox) SendMessageW(w.body, EM_SETLIMITTEXT, 0, 0);
    if (control.kind == Kind::Numeric || control.kind == Kind::String) {
        SendMessageW(w.body, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(2, 2));
    }
    return true;
}

void Win32View::destroyControl(int panel, int control) {
    const auto owner = panels_.find(panel);
    if (owner == panels_.end()) return;
    const auto c = owner->second.controls.find(control);
    if (c == owner->second.controls.end()) return;
    ownerOf_.erase(c->second.body);
    ownerOf_.erase(c->second.label);
    if (c->second.body != nullptr) DestroyWindow(c->second.body);
    if (c->second.label != nullptr) DestroyWindow(c->second.label);
    if (c->second.picture.bitmap != nullptr) DeleteObject(c->second.picture.bitmap);
    owner->second.controls.erase(c);
}

void Win32View::dropWindows(int handle, const std::vector<int> &gone) {
    HWND hwnd = window(handle);
    for (int other : gone) {
        const auto it = panels_.find(other);
        if (it == panels_.end()) continue;
        for (auto &[id, w] : it->second.controls) {
            ownerOf_.erase(w.body);
            ownerOf_.erase(w.label);
            if (w.picture.bitmap != nullptr) DeleteObject(w.picture.bitmap);
        }
        panelOf_.erase(it->second.window);
        panels_.erase(it);
    }
    if (hwnd != nullptr) {
        ShowWindow(hwnd, SW_HIDE);
        // Destroyed after the message at hand: discarding may come from inside its handler.
        doomed_.push_back(hwnd);
    }
}

void Win32View::ownerGone(int handle) {
    // Destroying an owner destroys what it owns.
    HWND hwnd = window(handle);
    if (hwnd != nullptr && GetWindow(hwnd, GW_OWNER) != nullptr) {
        SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, 0);
    }
}

void Win32View::destroyDoomed() {
    if (doomed_.empty()) return;
    const Updating updating(*this);
    std::vector<HWND> doomed;
    doomed.swap(doomed_);
    for (HWND hwnd : doomed)
        DestroyWindow(hwnd);
}

// ---- Keeping in step -----------------------------------------------------------------------

void Win32View::paintPanel(int handle, const panel::Panel &) {
    // Colours are asked for at painting time.
    if (HWND hwnd = window(handle)) InvalidateRect(hwnd, nullptr, TRUE);
}

void Win32View::placeInner(int handle, const panel::Panel &model) {
    HWND hwnd = window(handle);
    if (hwnd == nullptr) return;
    const panel::Geometry &g = model.geometry;
    SetWindowPos(hwnd, nullptr, g.left, g.top, g.width, g.height, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, model.visible ? SW_SHOWNA : SW_HIDE);
}

void Win32View::placeWindow(int handle, const panel::Panel &model,
                            const panel::WindowPlacement &place) {
    HWND hwnd = window(handle);
    if (hwnd == nullptr) return;
    setWindowText(hwnd, wide(model.title));
    HWND owner = place.owner != 0 ? window(place.owner) : nullptr;
    if (GetWindow(hwnd, GW_OWNER) != owner) {
        SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    }
    DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    DWORD wantedStyle =
        style & ~static_cast<DWORD>(WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX);
    if (model.sizable) wantedStyle |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    if (owner == nullptr) wantedStyle |= WS_MINIMIZEBOX;
    const bool restyled = wantedStyle != style;
    if (restyled) SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(wantedStyle));
    const panel::Geometry &g = model.geometry;
    const bool resize = place.resize || restyled;
    if (place.move || resize) {
        RECT frame{0, 0, g.width, g.height};
        AdjustWindowRectEx(&frame, wantedStyle, FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (restyled ? SWP_FRAMECHANGED : 0u);
        if (!place.move) flags |= SWP_NOMOVE;
        if (!resize) flags |= SWP_NOSIZE;
        SetWindowPos(hwnd, nullptr, g.left, g.top, frame.right - frame.left,
                     frame.bottom - frame.top, flags);
    }
}

void Win32View::showWindow(int handle, const panel::Panel &model) {
    HWND hwnd = window(handle);
    if (hwnd == nullptr || (IsWindowVisible(hwnd) != FALSE) == model.visible) return;
    ShowWindow(hwnd, model.visible ? SW_SHOW : SW_HIDE);
    if (model.visible) SetForegroundWindow(hwnd);
}

void Win32View::takeInput(int handle, bool takes) {
    HWND hwnd = window(handle);
    if (hwnd != nullptr && (IsWindowEnabled(hwnd) != FALSE) != takes) {
        EnableWindow(hwnd, takes ? TRUE : FALSE);
    }
}

void Win32View::showLook(const panel::Panel &owner, const Control &control) {
    ControlWindows *found = windows(owner.handle, control.id);
    if (found == nullptr || found->body == nullptr) return;
    ControlWindows &w = *found;
    HWND body = w.body;
    const auto &g = control.geometry;
    const int height = control.kind == Kind::Ring ? g.height + kRingDropHeight : g.height;
    SetWindowPos(body, nullptr, g.left, g.top, g.width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(body, WM_SETFONT, reinterpret_cast<WPARAM>(font(control.font)), FALSE);
    switch (control.kind) {
        case Kind::Button: {
            setWindowText(body, mnemonic(control.label));
            // Enter presses the button with the focus, else the panel's default one, which
            // keeps its mark.
            const bool isDefault = owner.defaultControl == control.id;
            SendMessageW(body, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, FALSE);
            break;
        }
        case Kind::CheckBox: {
            setWindowText(body, mnemonic(control.label));
            // An indicator box shows its state and takes no input.
            const bool hot = control.mode == Mode::Hot;
            LONG style = GetWindowLongW(body, GWL_STYLE);
            style = hot ? (style | WS_TABSTOP) : (style & ~static_cast<LONG>(WS_TABSTOP));
            SetWindowLongW(body, GWL_STYLE, style);
            break;
        }
        case Kind::Numeric:
        case Kind::String: {
            const bool hot = control.mode == Mode::Hot;
            SendMessageW(body, EM_SETREADONLY, hot ? FALSE : TRUE, 0);
            LONG style = GetWindowLongW(body, GWL_STYLE);
            style = hot ? (style | WS_TABSTOP) : (style & ~static_cast<LONG>(WS_TABSTOP));
            SetWindowLongW(body, GWL_STYLE, style);
            if (control.kind == Kind::String) {
                SendMessageW(body, EM_SETLIMITTEXT,
                             control.maxLength > 0 ? static_cast<WPARAM>(control.maxLength) : 0, 0);
            }
            break;
        }
        case Kind::Ring:
            SendMessageW(body, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                         std::max(g.height - 6, kFontPixels + 2));
            break;
        case Kind::Picture:
            if (w.shownImage != control.image || w.picture.bitmap == nullptr) {
                w.shownImage = control.image;
                if (w.picture.bitmap != nullptr) DeleteObject(w.picture.bitmap);
                w.picture = imaging_.load(picturePath(control.image).wstring());
            }
            break;
        default:
            break;
    }
    EnableWindow(body, control.dimmed ? FALSE : TRUE);
    ShowWindow(body, control.visible ? SW_SHOWNA : SW_HIDE);
    // Colours are asked for at painting time.
    InvalidateRect(body, nullptr, TRUE);
    if (w.label != nullptr) {
        setWindowText(w.label, mnemonic(control.label));
        // Labels are in the panel's face even where the text is monospaced.
        SendMessageW(w.label, WM_SETFONT, reinterpret_cast<WPARAM>(font("Arial")), FALSE);
        EnableWindow(w.label, control.dimmed ? FALSE : TRUE);
        placeLabel(control, w.label);
        ShowWindow(w.label, control.visible && !control.label.empty() ? SW_SHOWNA : SW_HIDE);
    }
}

void Win32View::placeLabel(const Control &control, HWND label) {
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, font("Arial"));
    const std::wstring text = wide(control.displayLabel());
    SIZE extent{0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    const panel::Geometry at =
        panel::labelPlace(control.geometry, static_cast<int>(extent.cx), metrics.tmHeight);
    SetWindowPos(label, nullptr, at.left, at.top, at.width, at.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32View::showValue(int panel, const Control &control, const std::string &text) {
    HWND body = this->body(panel, control.id);
    if (body == nullptr) return;
    switch (control.kind) {
        case Kind::Numeric:
        case Kind::String:
        case Kind::TextMessage:
            setWindowText(body, wide(text));
            break;
        case Kind::CheckBox:
            SendMessageW(body, BM_SETCHECK, control.number != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case Kind::Ring: {
            const auto count = static_cast<int>(SendMessageW(body, CB_GETCOUNT, 0, 0));
            SendMessageW(body, CB_SETCURSEL,
                         static_cast<WPARAM>(control.index < count ? control.index : -1), 0);
            break;
        }
        case Kind::ListBox: {
            const auto count = static_cast<int>(SendMessageW(body, LB_GETCOUNT, 0, 0));
            SendMessageW(body, LB_SETCURSEL,
                         static_cast<WPARAM>(control.index < count ? control.index : -1), 0);
            break;
        }
        default:
            break;
    }
}

void Win32View::showItems(int panel, const Control &control) {
    const bool ring = control.kind == Kind::Ring;
    HWND body = this->body(panel, control.id);
    if ((!ring && control.kind != Kind::ListBox) || body == nullptr) return;
    std::vector<std::wstring> labels;
    labels.reserve(control.items.size());
    for (const auto &item : control.items)
        labels.push_back(wide(item.label));
    const std::vector<std::wstring> shown =
        ring ? shownItems(body, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT)
             : shownItems(body, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
    if (shown == labels) return;
    SendMessageW(body, ring ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
    for (const auto &label : labels) {
        SendMessageW(body, ring ? CB_ADDSTRING : LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(label.c_str()));
    }
}

void Win32View::showLines(int panel, const Control &control, std::size_t kept) {
    HWND body = this->body(panel, control.id);
    if (body == nullptr) return;
    const auto &lines = control.lines;
    if (kept == 0) {
        SetWindowTextW(body, joinLines(lines.begin(), lines.end()).c_str());
    } else if (lines.size() > kept) {
        const std::wstring tail =
            L"\r\n" + joinLines(lines.begin() + static_cast<std::ptrdiff_t>(kept), lines.end());
        const int end = GetWindowTextLengthW(body);
        SendMessageW(body, EM_SETSEL, static_cast<WPARAM>(end), end);
        SendMessageW(body, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(tail.c_str()));
    }
    const auto first = static_cast<int>(SendMessageW(body, EM_GETFIRSTVISIBLELINE, 0, 0));
    SendMessageW(body, EM_LINESCROLL, 0, control.firstVisibleLine - first);
}

void Win32View::showPages(int panel, const Control &tab, const std::vector<int> &pages) {
    HWND tabs = body(panel, tab.id);
    if (tabs == nullptr) return;
    int index = 0;
    for (int page : pages) {
        const panel::Panel *model = this->model().panel(page);
        if (model == nullptr || window(page) == nullptr) continue;
        std::wstring caption = mnemonic(model->title.empty() ? model->constant : model->title);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        if (index < TabCtrl_GetItemCount(tabs)) {
            TabCtrl_SetItem(tabs, index, &item);
        } else {
            TabCtrl_InsertItem(tabs, index, &item);
        }
        ++index;
    }
    while (TabCtrl_GetItemCount(tabs) > index)
        TabCtrl_DeleteItem(tabs, index);
}

void Win32View::frontPage(int panel, const Control &tab, const std::vector<int> &pages,
                          bool hasFront) {
    HWND tabs = body(panel, tab.id);
    if (tabs == nullptr) return;
    if (hasFront) TabCtrl_SetCurSel(tabs, tab.index);
    // Pages lie over the tab's display area, in the panel that holds the tab.
    RECT area;
    GetClientRect(tabs, &area);
    TabCtrl_AdjustRect(tabs, FALSE, &area);
    MapWindowPoints(tabs, window(panel), reinterpret_cast<POINT *>(&area), 2);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        HWND page = window(pages[i]);
        const bool shown = hasFront && static_cast<int>(i) == tab.index && tab.visible;
        SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOACTIVATE);
        ShowWindow(page, shown ? SW_SHOWNA : SW_HIDE);
        InvalidateRect(page, nullptr, TRUE);
    }
}

// ---- Operator input ------------------------------------------------------------------------

void Win32View::commitFocusedField() {
    const auto focus = ownerOf_.find(GetFocus());
    if (focus == ownerOf_.end() || focus->second.label) return;
    const Control *control = model().control(focus->second.panel, focus->second.control);
    if (control != nullptr && (control->kind == Kind::Numeric || control->kind == Kind::String)) {
        inputText(focus->second.panel, focus->second.control, utf8(windowText(focus->first)));
    }
}

void Win32View::refuseInput(int panel, int control, const std::string &reason) {
    HWND field = body(panel, control);
    if (field == nullptr) return;
    const std::wstring text = wide(reason);
    EDITBALLOONTIP tip{sizeof(tip), L"", text.c_str(), TTI_WARNING};
    SendMessageW(field, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip));
}

void Win32View::beep() {
    MessageBeep(MB_OK);
}

// ---- Dialogs and pictures ------------------------------------------------------------------

void Win32View::showMessage(const std::string &title, const std::string &text) {
    // Task-modal: every panel waits while the box is up.
    MessageBoxW(nullptr, wide(text).c_str(), wide(title).c_str(),
                MB_OK | MB_ICONINFORMATION | MB_TASKMODAL | MB_SETFOREGROUND);
}

int Win32View::selectFile(const panel::FileRequest &request, std::string &path) {
    // Filters as the common dialog takes them: "name\0pattern\0...\0\0".
    std::vector<std::wstring> patterns;
    const std::wstring defaultName = wide(request.defaultFileSpec);
    const bool defaultIsPattern = defaultName.find_first_of(L"*?") != std::wstring::npos;
    if (defaultIsPattern) patterns.push_back(defaultName);
    const std::wstring list = wide(request.fileTypeList);
    for (std::size_t at = 0; at <= list.size();) {
        std::size_t end = list.find(L';', at);
        if (end == std::wstring::npos) end = list.size();
        std::wstring pattern = list.substr(at, end - at);
        pattern.erase(0, pattern.find_first_not_of(L' '));
        pattern.erase(pattern.find_last_not_of(L' ') + 1);
        if (!pattern.empty() &&
            std::find(patterns.begin(), patterns.end(), pattern) == patterns.end()) {
            patterns.push_back(pattern);
        }
        at = end + 1;
    }
    std::wstring filter;
    for (const auto &pattern : patterns)
        filter += pattern + L'\0' + pattern + L'\0';
    filter += L'\0';

    std::vector<wchar_t> file(32768, L'\0');
    if (!defaultIsPattern && !defaultName.empty() && defaultName.size() < file.size()) {
        std::copy(defaultName.begin(), defaultName.end(), file.begin());
    }
    const std::wstring folder = wide(request.startDirectory);
    const std::wstring title = wide(request.title);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window(mainPanel());
    dialog.lpstrFilter = patterns.empty() ? nullptr : filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    // A new file may be named: the caller decides what to make of it.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    for (;;) {
        if (GetOpenFileNameW(&dialog) == FALSE) {
            path.clear();
            return VAL_NO_FILE_SELECTED;
        }
        std::filesystem::path chosen(file.data());
        // A restricted dialog answers only from its own folder.
        if (request.restrictDirectory && !folder.empty()) {
            std::error_code ec;
            if (!std::filesystem::equivalent(chosen.parent_path(), folder, ec)) {
                MessageBeep(MB_OK);
                continue;
            }
        }
        // A new name typed without the extension the caller insists on gets it.
        const std::wstring extension =
            defaultName.rfind(L"*.", 0) == 0 &&
                    defaultName.find_first_of(L"*?", 1) == std::wstring::npos
                ? defaultName.substr(1)
                : std::wstring();
        const DWORD attributes = GetFileAttributesW(chosen.c_str());
        const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
        std::wstring name = chosen.wstring();
        if (request.restrictExtension && !extension.empty() && !exists &&
            (name.size() < extension.size() ||
             _wcsicmp(name.c_str() + name.size() - extension.size(), extension.c_str()) != 0)) {
            name += extension;
        }
        path = utf8(name);
        return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES
                   ? VAL_EXISTING_FILE_SELECTED
                   : VAL_NEW_FILE_SELECTED;
    }
}

namespace {

// Prints a window's client area, then its visible children bottom of the z-order first, into
// `dc`, whose device origin is the client area's corner: controls clip their printing to
// their own size from the device origin, so each child gets a bitmap of its own. The picture
// needs neither a visible window nor an uncovered screen.
void printClient(HWND hwnd, HDC dc) {
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    HWND top = GetWindow(hwnd, GW_CHILD);
    for (HWND child = top != nullptr ? GetWindow(top, GW_HWNDLAST) : nullptr; child != nullptr;
         child = GetWindow(child, GW_HWNDPREV)) {
        if ((GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) == 0) continue;
        RECT place;
        GetWindowRect(child, &place);
        POINT corner{0, 0};
        ClientToScreen(child, &corner);
        const POINT inset{corner.x - place.left, corner.y - place.top};
        MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT *>(&place), 2);
        const int width = place.right - place.left;
        const int height = place.bottom - place.top;
        RECT client;
        GetClientRect(child, &client);
        if (width <= 0 || height <= 0) continue;
        HDC frame = CreateCompatibleDC(dc);
        HBITMAP frameBits = CreateCompatibleBitmap(dc, width, height);
        HGDIOBJ oldFrame = SelectObject(frame, frameBits);
        // What lies beneath shows through where a control paints nothing.
        BitBlt(frame, 0, 0, width, height, dc, place.left, place.top, SRCCOPY);
        const COLORREF before = GetPixel(frame, 0, 0);
        SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(frame), PRF_NONCLIENT);
        // Where the system prints no frame, the sunken edge the control has on screen.
        if ((GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0 &&
            GetPixel(frame, 0, 0) == before) {
            RECT edge{0, 0, width, height};
            DrawEdge(frame, &edge, EDGE_SUNKEN, BF_RECT);
        }
        if (client.right > 0 && client.bottom > 0) {
            HDC inner = CreateCompatibleDC(dc);
            HBITMAP innerBits = CreateCompatibleBitmap(dc, client.right, client.bottom);
            HGDIOBJ oldInner = SelectObject(inner, innerBits);
            BitBlt(inner, 0, 0, client.right, client.bottom, frame, inset.x, inset.y, SRCCOPY);
            printClient(child, inner);
            BitBlt(frame, inset.x, inset.y, client.right, client.bottom, inner, 0, 0, SRCCOPY);
            SelectObject(inner, oldInner);
            DeleteObject(innerBits);
            DeleteDC(inner);
        }
        BitBlt(dc, place.left, place.top, width, height, frame, 0, 0, SRCCOPY);
        SelectObject(frame, oldFrame);
        DeleteObject(frameBits);
        DeleteDC(frame);
    }
}

}  // namespace

bool Win32View::picture(int panel, const std::filesystem::path &file, std::string &error) {
    HWND hwnd = window(panel);
    if (hwnd == nullptr) return false;
    RECT client;
    GetClientRect(hwnd, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) {
        error = "the panel has no area to picture";
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) {
        DeleteDC(dc);
        error = "cannot make a bitmap for the picture";
        return false;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    printClient(hwnd, dc);
    GdiFlush();
    const auto *first = static_cast<const std::uint8_t *>(bits);
    std::vector<std::uint8_t> pixels(
        first, first + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return imaging_.savePng(file.wstring(), width, height, pixels, error);
}

panel::ScreenSize Win32View::screen() const {
    RECT area;
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) == FALSE) return {};
    return {area.right - area.left, area.bottom - area.top};
}

}  // namespace trl4::panelwin

namespace panel {

View *createWin32View(Model &model, int &, char **) {
    try {
        auto view = std::make_unique<trl4::panelwin::Win32View>(model);
        if (!view->ready()) {
            std::fprintf(stderr, "win32 view: the panel window class cannot be registered\n");
            return nullptr;
        }
        return view.release();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "win32 view: %s\n", e.what());
        return nullptr;
    }
}

}  // namespace panel
