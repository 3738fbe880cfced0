// How a view observes the model and what the run-time asks of it. A view draws the model's
// panels and sends operator input only through Model::operator* calls; it never changes the
// model directly. Every call comes on the user-interface thread, from inside the run-time.
#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "panel/model.h"

namespace panel {

// The arguments of a file-selection dialog.
struct FileRequest {
    std::string startDirectory;
    std::string defaultFileSpec;  // "*.log"
    std::string fileTypeList;     // "*.log;*.txt"
    std::string title;
    std::string buttonLabel;
    bool restrictDirectory = false;
    bool restrictExtension = false;
    bool allowCancel = true;
    bool allowMakeDirectory = false;
};

struct ScreenSize {
    int width = 1280;
    int height = 1024;
};

// The window view this platform's programs link (the factory they pass), by its --view name.
constexpr const char *windowViewName() {
#ifdef _WIN32
    return "win32";
#else
    return "qt";
#endif
}

class View {
  public:
    virtual ~View() = default;

    virtual const char *name() const = 0;
    // True when message boxes and file dialogs wait for a person.
    virtual bool interactive() const = 0;

    // Handle pending toolkit events without blocking; operator input found here goes to the
    // model's operator* calls (which queue events; the run-time dispatches them after).
    virtual void pump() = 0;
    // As pump(), but first waits for toolkit input for at most `bound`, returning as soon as
    // input arrives. The run-time calls it only when the program polls with nothing to do. A
    // view without input of its own just sleeps.
    virtual void waitAndPump(std::chrono::milliseconds bound) {
        std::this_thread::sleep_for(bound);
        pump();
    }

    // The model changed. Discarded comes after the panel is gone from the model.
    virtual void panelChanged(int panel, PanelChange change) = 0;
    virtual void controlChanged(int panel, int control, ControlChange change) = 0;
    // A pop-up was installed (modal: only `panel` takes input) or removed.
    virtual void popupChanged(int panel, bool installed) = 0;

    // Modal message box; returns once acknowledged. Only called on interactive views.
    virtual void showMessage(const std::string &title, const std::string &text) = 0;
    // Modal file dialog; only called on interactive views. Returns VAL_NO_FILE_SELECTED,
    // VAL_EXISTING_FILE_SELECTED or VAL_NEW_FILE_SELECTED and sets `path` for a file.
    virtual int selectFile(const FileRequest &request, std::string &path) = 0;

    // Picture of a panel into a PNG file; false with a reason when it cannot.
    virtual bool shot(int panel, const std::string &file, std::string &error) = 0;

    // Where ATTR_CENTER centres a panel.
    virtual ScreenSize screen() const { return {}; }
};

// The view without widgets: nothing drawn, message boxes printed by the run-time.
class HeadlessView final : public View {
  public:
    const char *name() const override { return "headless"; }
    bool interactive() const override { return false; }
    void pump() override {}
    void panelChanged(int, PanelChange) override {}
    void controlChanged(int, int, ControlChange) override {}
    void popupChanged(int, bool) override {}
    void showMessage(const std::string &, const std::string &) override {}
    int selectFile(const FileRequest &, std::string &) override { return VAL_NO_FILE_SELECTED; }
    bool shot(int, const std::string &, std::string &error) override {
        error =
            std::string("the headless view draws nothing: shot needs --view ") + windowViewName();
        return false;
    }
};

}  // namespace panel
