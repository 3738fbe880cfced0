// The panel run-time as the program sees it: panels from a resource file, controls, modal
// pop-ups, message boxes, a file dialog and event processing.
//
// Every call returns an integer status: 0 (or a handle/count where stated) on success, a
// negative UIE_ code on failure. Nothing throws out of these functions. Values are typed by
// overloads, never by varargs; text is read into a caller's buffer with its size and never
// overruns it. All calls belong to the one user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Statuses --------------------------------------------------------------------------
enum {
    UIE_NO_ERROR = 0,
    UIE_NOT_INITIALISED = -1,   // InitPanelRuntime has not run (or failed)
    UIE_BAD_PANEL = -2,         // no such panel handle (never loaded, or discarded)
    UIE_BAD_CONTROL = -3,       // no such control on that panel
    UIE_BAD_ATTRIBUTE = -4,     // attribute unknown or not valid for this panel/control kind
    UIE_BAD_VALUE = -5,         // value of the wrong type, not a number, or not allowed here
    UIE_BAD_ARGUMENT = -6,      // null pointer, negative size, bad kind ...
    UIE_FILE = -7,              // resource file missing or unreadable
    UIE_RESOURCE = -8,          // resource file invalid (see GetPanelErrorText for line and reason)
    UIE_NO_SUCH_RESOURCE = -9,  // resource file has no panel with that resource id
    UIE_CALLBACK = -10,         // callback name not in the registered table, or of the wrong type
    UIE_INDEX = -11,            // list item, text-box line or tab page index out of range
    UIE_BUFFER_TOO_SMALL = -12,  // text truncated to fit the buffer (still terminated)
    UIE_POPUP = -13,             // no pop-up installed, or the panel cannot be one now
    UIE_NO_ITEMS = -14,          // ring or list box without items has no value
    UIE_BUSY = -15,              // panel is being discarded
    UIE_SCRIPT = -16,            // operator script missing or invalid
    UIE_VIEW = -17,              // requested view not available
    UIE_OUT_OF_MEMORY = -18,
};

// Text for a status, for diagnostics.
const char *GetPanelStatusText(int status);
// The last load or initialisation failure in words, with file and line where known.
const char *GetPanelErrorText();

// ---- Events ----------------------------------------------------------------------------
enum {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,             // button press, ring change, confirmed field
    EVENT_VAL_CHANGED = 2,        // operator changed a value (before the commit)
    EVENT_LEFT_CLICK = 3,         // list item highlighted; eventData1 = item index
    EVENT_LEFT_DOUBLE_CLICK = 4,  // eventData1 = item index
    EVENT_CLOSE = 5,              // panel close box
    EVENT_DISCARD = 6,            // panel or control about to be discarded
    EVENT_PANEL_SIZE = 7,         // operator resized a panel
    EVENT_GOT_FOCUS = 8,
    EVENT_LOST_FOCUS = 9,
};

// ---- Control kinds, modes, data types, display formats ----------------------------------
enum {
    CTRL_COMMAND_BUTTON = 1,
    CTRL_NUMERIC = 2,
    CTRL_STRING = 3,    // one-line text field
    CTRL_TEXT_MSG = 4,  // static text
    CTRL_TEXT_BOX = 5,  // multi-line text
    CTRL_RING = 6,
    CTRL_LIST_BOX = 7,
    CTRL_TAB = 8,
    CTRL_PICTURE = 9,
    CTRL_DECORATION = 10,
    CTRL_SPLITTER = 11,
    CTRL_CHECK_BOX = 12,
};

enum { VAL_HOT = 1, VAL_INDICATOR = 2 };

enum {
    VAL_NO_TYPE = 0,
    VAL_DOUBLE = 1,
    VAL_INTEGER = 2,  // signed 32-bit
    VAL_SHORT_INTEGER = 3,
    VAL_UNSIGNED_SHORT_INTEGER = 4,
    VAL_STRING = 5,
};

enum {
    VAL_DECIMAL_FORMAT = 1,      // integer: "12"
    VAL_FLOATING_PT_FORMAT = 2,  // fixed, ATTR_PRECISION decimals: "10.00", "1000"
    VAL_SCIENTIFIC_FORMAT = 3,   // "1.000000E+0"
    VAL_ENGINEERING_FORMAT = 4,  // exponent a multiple of 3: "25.00E+3"
};

// What a numeric control does with a value outside its limits: brings it to the nearer limit,
// or keeps it as given (the limits then only inform).
enum { VAL_COERCE = 1, VAL_IGNORE = 2 };

// Colours are 0xRRGGBB.
enum : int {
    VAL_BLACK = 0x000000,
    VAL_WHITE = 0xFFFFFF,
    VAL_RED = 0xFF0000,
    VAL_GREEN = 0x00FF00,
    VAL_BLUE = 0x0000FF,
    VAL_LT_GRAY = 0xC0C0C0,
    VAL_GRAY = 0x808080,
};

// ---- Attributes ----------------------------------------------------------------------
// Integer attributes take/give int; text attributes take const char* and are read with a
// (char *buf, size_t size) pair; double attributes take/give double.
enum {
    // panels and controls
    ATTR_TOP = 1,            // int, pixels (panel: screen; control/page: relative to parent)
    ATTR_LEFT = 2,           // int
    ATTR_WIDTH = 3,          // int
    ATTR_HEIGHT = 4,         // int
    ATTR_VISIBLE = 5,        // int 0/1
    ATTR_BACKCOLOR = 6,      // int colour: panel background, control face
    ATTR_CONSTANT_NAME = 7,  // text: name scripts use ("SI", "LIST")
    ATTR_CALLBACK_NAME = 8,  // text: bind by name through the registered table ("" unbinds)
    ATTR_CALLBACK_FUNCTION_POINTER = 9,  // CtrlCallbackPtr / PanelCallbackPtr overloads
    ATTR_CALLBACK_DATA = 10,             // void*
    // panels only
    ATTR_TITLE = 20,         // text
    ATTR_CLOSE_CTRL = 21,    // int control id whose commit the close box also sends; 0 none
    ATTR_CENTER = 22,        // set 1: centre on the screen (replaces top and left); get: 0
    ATTR_ACTIVE_CTRL = 23,   // int
    ATTR_RESOURCE_ID = 24,   // int, read only (0 for panels built in code and pages)
    ATTR_PANEL_PARENT = 25,  // int, read only: parent panel handle, 0 for top level
    // controls only
    ATTR_TEXT_COLOR = 40,          // int colour
    ATTR_TEXT_BGCOLOR = 41,        // int colour: text area (list box, text box, fields)
    ATTR_DIMMED = 42,              // int 0/1
    ATTR_LABEL_TEXT = 43,          // text ("__OK": shows "OK", shortcut O)
    ATTR_MIN_VALUE = 44,           // double (numeric); -HUGE_VAL = no lower limit
    ATTR_MAX_VALUE = 45,           // double (numeric); +HUGE_VAL = no upper limit
    ATTR_INCR_VALUE = 46,          // double
    ATTR_FORMAT = 47,              // int VAL_*_FORMAT
    ATTR_PRECISION = 48,           // int decimals 0..15
    ATTR_CTRL_MODE = 49,           // int VAL_HOT / VAL_INDICATOR
    ATTR_DATA_TYPE = 50,           // int VAL_* type, read only
    ATTR_CTRL_KIND = 51,           // int CTRL_*, read only
    ATTR_FIRST_VISIBLE_LINE = 52,  // int (text box), clamped to the lines present
    ATTR_VISIBLE_LINES = 53,       // int (text box), read only, follows the height
    ATTR_MAX_ENTRY_LENGTH = 54,    // int characters (string field), 0 = unlimited
    ATTR_TEXT_FONT = 55,           // text font name
    ATTR_CTRL_INDEX = 56,          // int highlighted item (ring, list box) or page (tab)
    ATTR_CHECK_RANGE = 57,         // int VAL_COERCE (default) / VAL_IGNORE (numeric)
};

// ---- Callbacks ------------------------------------------------------------------------
using CtrlCallbackPtr = int (*)(int panel, int control, int event, void *callbackData,
                                int eventData1, int eventData2);
using PanelCallbackPtr = int (*)(int panel, int event, void *callbackData, int eventData1,
                                 int eventData2);

// One named callback the resource (or ATTR_CALLBACK_NAME) may bind; exactly one of the two
// pointers is set.
struct CallbackTableEntry {
    const char *name;
    CtrlCallbackPtr control;
    PanelCallbackPtr panel;
};

// Registers the program's table (added to any registered before; a later entry with the same
// name replaces the earlier one). Call before LoadPanel. Returns 0 or UIE_BAD_ARGUMENT.
int RegisterCallbackTable(const CallbackTableEntry *entries, size_t count);

// ---- Start and end ---------------------------------------------------------------------
namespace panel {
class View;
class Model;
}  // namespace panel

// Creates an interactive view (the run-time owns and deletes it); argc/argv stay valid for
// the run-time's life. Returns null when the view cannot start (no display ...).
using PanelViewFactory = panel::View *(*)(panel::Model &model, int &argc, char **argv);

// Takes the command line: --script FILE, --view headless|qt|win32, --shots DIR; the rest
// passes to the view. "qt" and "win32" need qtFactory, the factory of the window view the
// program links (Qt on Linux, Win32 on Windows); asking for the other one fails. Default view:
// the window view when a factory is there and, on Linux, DISPLAY/WAYLAND_DISPLAY is set or
// QT_QPA_PLATFORM given; else headless. Returns 0, or a negative status (message on stderr).
int InitPanelRuntime(int argc, char **argv, PanelViewFactory qtFactory = nullptr);
// Discards every panel and the view. In a scripted run with actions left, reports the first
// unused action and ends the process with status 2.
int ClosePanelRuntime();

// ---- Panels ---------------------------------------------------------------------------
// Loads panel resourceId from a resource file; a relative name is tried in the current
// directory, then beside the program, then in ../share/<program> from there (an installed
// tree). parent 0 = top level. Returns the handle (> 0).
int LoadPanel(int parent, const char *fileName, int resourceId);
int NewPanel(int parent, const char *title, int top, int left, int height, int width);
int DiscardPanel(int panel);  // safe inside the panel's own callbacks
int DisplayPanel(int panel);  // on a tab page: brings the page to the front
int HidePanel(int panel);     // hiding an installed pop-up also removes it
int GetPanelHandleFromTabPage(int panel, int tabControl, int pageIndex, int *pageHandle);
int InstallPopup(int panel);    // shows it modally: only it takes operator input
int RemovePopup(int hideOnly);  // removes (and hides) the topmost pop-up
int DefaultPanel(int panel);    // every control back to its initial value

int SetPanelAttribute(int panel, int attribute, int value);
int SetPanelAttribute(int panel, int attribute, const char *value);
int SetPanelAttribute(int panel, int attribute, void *value);  // ATTR_CALLBACK_DATA
int SetPanelAttribute(int panel, int attribute,
                      PanelCallbackPtr value);  // pass a typed null to unbind
int GetPanelAttribute(int panel, int attribute, int *value);
int GetPanelAttribute(int panel, int attribute, char *buffer, size_t size);

// ---- Controls -------------------------------------------------------------------------
// Returns the new control's id (> 0).
int NewCtrl(int panel, int kind, const char *label, int top, int left);

int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char *value);
int GetCtrlVal(int panel, int control, int *value);
int GetCtrlVal(int panel, int control, unsigned short *value);
int GetCtrlVal(int panel, int control, short *value);
int GetCtrlVal(int panel, int control, double *value);
int GetCtrlVal(int panel, int control, char *buffer, size_t size);
int DefaultCtrl(int panel, int control);
int SetActiveCtrl(int panel, int control);

int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);
int SetCtrlAttribute(int panel, int control, int attribute, const char *value);
int SetCtrlAttribute(int panel, int control, int attribute, void *value);  // ATTR_CALLBACK_DATA
int SetCtrlAttribute(int panel, int control, int attribute, CtrlCallbackPtr value);
int GetCtrlAttribute(int panel, int control, int attribute, int *value);
int GetCtrlAttribute(int panel, int control, int attribute, double *value);
int GetCtrlAttribute(int panel, int control, int attribute, char *buffer, size_t size);

// Ring and list box items. index -1 appends. The first item of an empty list is highlighted.
int ClearListCtrl(int panel, int control);
int InsertListItem(int panel, int control, int index, const char *label, int value);
int InsertListItem(int panel, int control, int index, const char *label, double value);
int InsertListItem(int panel, int control, int index, const char *label, const char *value);
int GetNumListItems(int panel, int control, int *count);
int GetCtrlIndex(int panel, int control, int *index);  // -1 when empty
int SetCtrlIndex(int panel, int control, int index);

// Text box. index -1 appends; a text with line breaks becomes several lines.
int InsertTextBoxLine(int panel, int control, int index, const char *text);
int GetNumTextBoxLines(int panel, int control, int *count);
int ResetTextBox(int panel, int control, const char *text);

// ---- Events and dialogs ------------------------------------------------------------------
// Pumps the view (never blocks), takes one scripted action if a script runs, and runs the
// callbacks of every queued event. Back-to-back polling sleeps 1 ms per call.
int ProcessSystemEvents();
// Interactive view: modal box, waits for the operator. Scripted or headless run: printed to
// standard output as  message "TITLE" "TEXT"  and acknowledged at once.
int MessagePopup(const char *title, const char *message);

enum { VAL_NO_FILE_SELECTED = 0, VAL_EXISTING_FILE_SELECTED = 1, VAL_NEW_FILE_SELECTED = 2 };
// Returns 0 (cancelled), 1 (existing file) or 2 (new file), or a negative status; the path
// goes to pathBuffer (size bytes, always terminated; too long a path gives
// UIE_BUFFER_TOO_SMALL and an empty buffer). In a scripted run the answer is the script's
// next `file` action.
int FileSelectPopup(const char *startDirectory, const char *defaultFileSpec,
                    const char *fileTypeList, const char *title, const char *buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char *pathBuffer, size_t size);

// Pumps the view only: what changed is drawn, no event is dispatched and no scripted action
// is taken.
int ProcessDrawEvents();

// Waits; NaN and negative wait nothing. Does not process events. In the headless view and
// in a scripted run nobody waits: there it returns at once.
int Delay(double seconds);
