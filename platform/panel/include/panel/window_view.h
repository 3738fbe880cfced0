// What every window view of the model does the same way, whatever its toolkit: which model
// change updates what, when a panel's widgets and a tab page's are built, which window owns
// which and which takes input, what counts as operator input, and how a picture is taken.
// A toolkit's view derives from WindowView and supplies only its toolkit's part: creating,
// updating and reading its widgets, its event loop and its pictures.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "panel/model.h"
#include "panel/view.h"

namespace panel {

// The top-level panel a panel or page lies in; 0 when the panel is gone.
int topLevelPanel(const Model &model, int handle);

// "__X..." shows as "X..." with X as the keyboard shortcut, marked by '&' as both toolkits
// mark it; every other '&' is doubled so that it stays literal.
std::string mnemonicLabel(const std::string &label);

// Where a control's label lies, from the size of its text: above the control, as instrument
// panels label their fields, or to its left when the control sits at the panel's top edge.
Geometry labelPlace(const Geometry &control, int textWidth, int textHeight);

// How a top-level panel's window stands among the others.
struct WindowPlacement {
    int owner = 0;        // the main window's panel when this window is owned by it
    bool move = false;    // the model's position changed since the window was last placed
    bool resize = false;  // likewise its size
    bool modal = false;   // an installed pop-up
};

class WindowView : public View {
  public:
    ~WindowView() override;
    WindowView(const WindowView &) = delete;
    WindowView &operator=(const WindowView &) = delete;

    void panelChanged(int panel, PanelChange change) final;
    void controlChanged(int panel, int control, ControlChange change) final;
    void popupChanged(int panel, bool installed) final;
    bool shot(int panel, const std::string &file, std::string &error) final;

  protected:
    explicit WindowView(Model &model);

    // Builds the panels the model shows already; the toolkit's constructor calls it last.
    void showExisting();
    // The model stops telling the view of changes; the toolkit's destructor calls it first.
    void detach();

    Model &model() const { return model_; }
    // The first top-level panel shown: the program's main window. 0 when there is none.
    int mainPanel() const { return mainPanel_; }
    void syncPanel(int handle);

    // While the view changes its own widgets, what they report is not operator input.
    class Updating {
      public:
        explicit Updating(WindowView &view) : depth_(view.updating_) { ++depth_; }
        ~Updating() { --depth_; }
        Updating(const Updating &) = delete;
        Updating &operator=(const Updating &) = delete;

      private:
        int &depth_;
    };
    bool updating() const { return updating_ != 0; }

    // Operator input, from the toolkit's handlers. Each is dropped while the view updates
    // its widgets, and a refused one leaves the control showing the model again.
    void inputCommit(int panel, int control);
    // An entry field confirmed: reaches the model only when the text differs from what the
    // model last showed there.
    void inputText(int panel, int control, const std::string &typed);
    void inputToggle(int panel, int control);
    // A highlight that moved to another line or page; -1 (none) is not input.
    void inputSelect(int panel, int control, int index);
    void inputDoubleClick(int panel, int control);
    void inputScroll(int panel, int control, int firstVisibleLine);
    void inputClose(int panel);
    // Esc leaves an owned window as its close box does; the main window stays.
    void inputEscape(int panel);
    void inputResize(int panel, int width, int height);
    // Enter with no control taking it presses the panel's default button.
    void inputDefault(int panel);

    // The file a picture control shows: its name under the pictures folder unless absolute.
    std::filesystem::path picturePath(const std::string &image) const;
    void setPictures(const std::filesystem::path &folder) { pictureFolder_ = folder; }
    const std::filesystem::path &pictures() const { return pictureFolder_; }

    // ---- The toolkit's part ----
    // Creates the panel's window, empty: inside its parent's for a panel loaded into another
    // or a tab page. False when the toolkit cannot.
    virtual bool createPanel(int handle, const Panel &model) = 0;
    // Creates a control's widgets (and its label where its kind has one), wired to input.
    virtual bool createControl(int panel, const Control &control) = 0;
    virtual void destroyControl(int panel, int control) = 0;
    // The panel is gone: forget the windows of `gone` (it and what lay inside it) and take
    // its window away once no handler of it runs any more.
    virtual void dropWindows(int handle, const std::vector<int> &gone) = 0;
    // The main window went while `handle`'s window was owned by it: it stands alone now.
    virtual void ownerGone(int handle) = 0;

    // A panel's face (its background), before the rest of it is placed.
    virtual void paintPanel(int handle, const Panel &model) = 0;
    // A panel loaded into another: at its place, shown or hidden.
    virtual void placeInner(int handle, const Panel &model) = 0;
    // A top-level panel: title, owner, frame, place and modality.
    virtual void placeWindow(int handle, const Panel &model, const WindowPlacement &place) = 0;
    // Then, with the input rule applied, shown or hidden as the model has it.
    virtual void showWindow(int handle, const Panel &model) = 0;
    // With a pop-up installed only the pop-up takes input. A toolkit whose modal windows
    // block the others by themselves needs nothing here.
    virtual void takeInput(int, bool) {}

    virtual void showLook(const Panel &owner, const Control &control) = 0;
    virtual void showItems(int panel, const Control &control) = 0;
    // `text`: what a field or message shows (fields count it as the model's own text).
    virtual void showValue(int panel, const Control &control, const std::string &text) = 0;
    // A text box's lines: the first `kept` are shown already (0: show them all afresh);
    // then scrolled to the model's first visible line.
    virtual void showLines(int panel, const Control &control, std::size_t kept) = 0;
    // A tab's pages (those built); after it the page in front is filled, then frontPage.
    virtual void showPages(int panel, const Control &tab, const std::vector<int> &pages) = 0;
    virtual void frontPage(int panel, const Control &tab, const std::vector<int> &pages,
                           bool hasFront) = 0;

    // Why the control refused the operator's entry, in the operator's words, beside it.
    virtual void refuseInput(int panel, int control, const std::string &reason) = 0;
    virtual void beep() = 0;
    // Writes the picture of a built, filled panel; `error` says why it cannot.
    virtual bool picture(int panel, const std::filesystem::path &file, std::string &error) = 0;

  private:
    struct ControlRecord {
        std::string shownText;                // field: what the model last showed
        std::vector<std::string> shownLines;  // text box: what the widget holds
    };
    struct PanelRecord {
        int parent = 0;
        bool filled = false;  // controls built
        bool placed = false;
        Geometry placedAt;  // the model's geometry last applied to the window
        std::map<int, ControlRecord> controls;
    };

    bool built(int handle) const { return panels_.count(handle) != 0; }
    bool builtControl(int panel, int control) const;
    // Whether the model asks for the panel's widgets: built already, or its window shown.
    bool wanted(int handle) const;
    PanelRecord *record(int handle);
    ControlRecord *record(int panel, int control);
    bool ensurePanel(int handle);
    // Builds the controls of a panel whose window was built empty.
    void fillPanel(int handle);
    void fillPage(const Control &tab);  // the page the tab shows
    void buildControl(int panel, const Control &control);
    void syncControl(const Panel &owner, const Control &control, ControlRecord &record);
    void syncValue(int panel, const Control &control, ControlRecord &record);
    void syncLines(int panel, const Control &control, ControlRecord &record);
    void syncPages(int panel, const Control &tab);
    void syncTopLevel(int handle, const Panel &model, PanelRecord &record);
    void applyInputRule();
    void dropPanel(int handle);
    void afterInput(int panel, int control, Input result);

    Model &model_;
    std::map<int, PanelRecord> panels_;
    int mainPanel_ = 0;
    int updating_ = 0;
    std::filesystem::path pictureFolder_;
};

}  // namespace panel
