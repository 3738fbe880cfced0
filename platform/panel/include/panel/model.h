// The toolkit-free panel model: panels, controls, the event queue and the operator entry
// points that enforce what a real panel allows. Views read it and feed operator input only
// through the operator* calls.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "userint.h"

namespace panel {

class View;

enum class Kind {
    Button,
    Numeric,
    String,
    TextMessage,
    TextBox,
    Ring,
    ListBox,
    Tab,
    Picture,
    Decoration,
    Splitter,
    CheckBox  // an int 0/1 with its label beside it
};
enum class Mode { None, Hot, Indicator };
enum class DataType { None, Double, Int, Short, UShort, Text };
enum class Format { Integer, Fixed, Exponent, Engineering };

struct Geometry {
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
};

// A ring or list box entry; the value is held as number or text by the control's data type.
struct Item {
    std::string label;
    double number = 0.0;
    std::string text;
};

inline constexpr double kNoLowerLimit = -std::numeric_limits<double>::infinity();
inline constexpr double kNoUpperLimit = std::numeric_limits<double>::infinity();

struct Control {
    int id = 0;
    std::string constant;
    Kind kind = Kind::Button;
    Mode mode = Mode::None;
    DataType type = DataType::None;
    std::string label;  // as stored, "__OK" included; see displayLabel()

    // Current and initial value: numeric types in `number`, text types in `text`.
    double number = 0.0;
    std::string text;
    double defaultNumber = 0.0;
    std::string defaultText;

    double min = kNoLowerLimit;
    double max = kNoUpperLimit;
    double step = 1.0;
    bool keepOutOfRange = false;  // limits only inform: a value beyond them is kept as given
    Format format = Format::Fixed;
    int precision = 2;
    int maxLength = 0;  // string field, characters; 0 = unlimited

    std::string callbackName;
    CtrlCallbackPtr callback = nullptr;
    void *callbackData = nullptr;

    Geometry geometry;
    std::uint32_t textColor = 0x000000;
    std::uint32_t background = 0xC0C0C0;
    std::uint32_t textBackground = 0xFFFFFF;
    bool visible = true;
    bool dimmed = false;
    std::string font = "Arial";
    std::string image;  // picture: file name under the program's resources folder

    std::vector<Item> items;  // ring, list box
    int index = -1;           // highlighted item (ring, list box) or shown page (tab)

    std::vector<std::string> lines;  // text box
    int firstVisibleLine = 0;

    std::vector<int> pages;  // tab: page panel handles in page order

    // Displayed label and its keyboard shortcut ('\0' when none).
    std::string displayLabel() const;
    char32_t shortcut() const;
    bool takesValue() const;
    bool isNumeric() const { return type != DataType::None && type != DataType::Text; }
};

struct Panel {
    int handle = 0;
    int resourceId = 0;  // 0 for panels built in code and for tab pages
    std::string constant;
    std::string title;
    Geometry geometry;
    bool visible = false;
    std::uint32_t background = 0xC0C0C0;
    int parent = 0;      // owning panel for tab pages, 0 for top level
    int tabControl = 0;  // tab control on the parent that holds this page
    int pageIndex = -1;
    std::string callbackName;
    PanelCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    int closeControl = 0;
    int defaultControl = 0;  // the button Enter presses; 0 none
    bool sizable = false;    // the operator may resize the window
    int activeControl = 0;
    bool discarding = false;
    std::vector<Control> controls;  // ascending id

    Control *control(int id);
    const Control *control(int id) const;
    const Control *control(std::string_view constantName) const;
};

struct Event {
    int panel = 0;
    int control = 0;  // 0: a panel event
    int event = EVENT_NONE;
    int data1 = 0;
    int data2 = 0;
};

// Why operator input was refused; Accepted when it went in.
enum class Input {
    Accepted,
    NoSuchPanel,
    NoSuchControl,
    PanelHidden,
    BlockedByPopup,
    PageNotShown,
    Indicator,
    Dimmed,
    ControlHidden,
    NotOperable,  // decoration, picture, text message, ...
    BadValue,
    NoSuchItem,
    TooLong,
};
const char *describe(Input input);

// Attribute values as the run-time's typed overloads pass them (see attributes.h). A text
// read is a view into the model, valid until the model next changes.
enum class AttrType { Int, Double, Text, Data, Callback };
using AttrValue =
    std::variant<int, double, std::string_view, void *, CtrlCallbackPtr, PanelCallbackPtr>;

// Finds a callback by name; returns false when the table has none.
using CallbackLookup =
    std::function<bool(const std::string &name, CtrlCallbackPtr *control, PanelCallbackPtr *panel)>;

// What changed, for views.
enum class PanelChange { Created, Shown, Hidden, Discarded, Attributes };
enum class ControlChange { Created, Value, Attributes, Items, Lines };

class Model {
  public:
    Model();
    ~Model();
    Model(const Model &) = delete;
    Model &operator=(const Model &) = delete;

    // The view that observes the model (not owned); null for none.
    void setView(View *view) { view_ = view; }
    View *view() const { return view_; }

    // ---- Program side ----
    // Assigns and returns the handle; notifies Created unless told not to (a loader that
    // builds a panel with its pages notifies once all exist).
    int addPanel(Panel panel, bool notify = true);
    // Adds a control after the panel's last id and returns its id; BAD_PANEL when none.
    int addControl(int panel, Control control);
    Panel *panel(int handle);
    const Panel *panel(int handle) const;
    std::vector<int> panelHandles() const;  // ascending
    // The panel with this constant name that can be seen, else the newest one; 0 for none.
    int findPanel(std::string_view constantName) const;
    Control *control(int panel, int id);
    const Control *control(int panel, int id) const;

    int discardPanel(int handle);  // sends EVENT_DISCARD synchronously; safe in callbacks
    int showPanel(int handle, bool shown);
    int installPopup(int handle);
    int removePopup();
    const std::vector<int> &popups() const { return popups_; }

    // Program writes (clamped to limits and to the data type's range; documented in the
    // run-time header). Return a UIE_ status.
    int setNumber(int panel, int id, double value);
    int setText(int panel, int id, std::string_view value);
    int resetControl(int panel, int id);
    int resetPanel(int panel);
    int insertItem(int panel, int id, int index, Item item);
    int clearItems(int panel, int id);
    int setIndex(int panel, int id, int index);
    int insertLines(int panel, int id, int index, std::string_view text);
    int setFirstVisibleLine(int panel, int id, int line);
    static int visibleLines(const Control &control);

    // Attributes by the table in attributes.h. A write notifies the view; an int given to a
    // double attribute and a whole double given to an int one are converted. Return a UIE_
    // status.
    int setPanelAttribute(int panel, int attribute, const AttrValue &value);
    int setControlAttribute(int panel, int control, int attribute, const AttrValue &value);
    int getPanelAttribute(int panel, int attribute, AttrType type, AttrValue &value) const;
    int getControlAttribute(int panel, int control, int attribute, AttrType type,
                            AttrValue &value) const;
    // How callback names given as attributes are resolved.
    void setCallbackLookup(CallbackLookup lookup) { lookup_ = std::move(lookup); }
    const CallbackLookup &callbackLookup() const { return lookup_; }

    void notifyPanel(int panel, PanelChange change);
    void notifyControl(int panel, int control, ControlChange change);

    // ---- Operator side (views and scripts) ----
    // Whether the panel can take operator input now (visible, shown page, not blocked).
    Input panelAcceptsInput(int panel) const;
    Input controlAcceptsInput(int panel, int id) const;
    Input operatorCommit(int panel, int id);
    // Typed text: parsed by the data type (numbers in any display form), clamped to the
    // limits, then committed when `commit`. Rings and list boxes take an item value.
    Input operatorSetText(int panel, int id, std::string_view typed, bool commit,
                          std::string *error = nullptr);
    Input operatorSetNumber(int panel, int id, double value, bool commit);
    // Highlight a list item (list box: no commit) or choose a ring item / tab page (commit).
    Input operatorSelect(int panel, int id, int index);
    Input operatorDoubleClick(int panel, int id);
    Input operatorClose(int panel);
    Input operatorResize(int panel, int width, int height);
    Input operatorScroll(int panel, int id, int firstVisibleLine);

    // ---- Events ----
    void post(const Event &event);
    bool pending() const { return !queue_.empty(); }
    // Runs queued events' callbacks until the queue is empty (nested calls allowed).
    // Returns how many ran.
    int dispatch();
    // Calls one callback now (also used for EVENT_DISCARD).
    void deliver(const Event &event);

  private:
    View *view_ = nullptr;
    std::map<int, std::unique_ptr<Panel>> panels_;
    std::vector<int> popups_;
    std::deque<Event> queue_;
    int nextHandle_ = 1;
    CallbackLookup lookup_;

    Input checkControlInput(int panel, int id, const Control **out) const;
    int writeAttribute(int panel, std::optional<int> control, int attribute,
                       const AttrValue &value);
    int readAttribute(int panel, std::optional<int> control, int attribute, AttrType type,
                      AttrValue &value) const;
};

// ---- Numbers as panels show and read them ----------------------------------------------
// Display text of a value: Integer "12"; Fixed with `precision` decimals "10.00";
// Exponent "1.000000E+0"; Engineering "25.00E+3" (exponent a multiple of 3).
std::string formatNumber(double value, Format format, int precision);
std::string formatValue(const Control &control);  // by the control's type and format
// Parses typed text: plain numbers and every display form; no trailing garbage.
bool parseNumber(std::string_view text, double &value, std::string *error = nullptr);
// Numbers a data type can hold (Short -32768..32767 ...); Double: every finite value.
double typeMin(DataType type);
double typeMax(DataType type);
// A value as the control stores it: brought within its limits (unless it keeps values beyond
// them) and its data type's range, and whole for integer types.
double coerceToControl(const Control &control, double value);

// Counts UTF-8 characters (limits on operator-visible texts count characters).
std::size_t utf8Length(std::string_view text);

}  // namespace panel
