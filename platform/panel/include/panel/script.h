// Operator scripts: one action per line, taken one at a time as the program processes events.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "panel/model.h"

namespace panel {

enum class ActionKind {
    Press,
    Set,
    Select,
    DoubleClick,
    Close,
    File,
    FileCancel,
    Expect,
    ExpectTitle,
    ExpectMessage,
    ExpectVisible,
    ExpectHidden,
    ExpectColor,       // the control's text colour
    ExpectBackground,  // the colour behind the control's text
    Dump,
    Shot,
};

struct Action {
    ActionKind kind = ActionKind::Press;
    int line = 0;
    std::string panel;
    std::string control;
    std::string value;  // set/expect value, texts, file path, shot file
    int index = 0;      // select; the colour of expect-color and expect-background
};

struct Script {
    std::string name;
    std::vector<Action> actions;
};

// Parses a whole script; on failure `error` is "NAME:LINE: reason".
bool parseScript(std::string_view text, const std::string &name, Script &out, std::string &error);
bool loadScriptFile(const std::string &path, Script &out, std::string &error);

// Writes text as a double-quoted script text with \n, \", \\ and \t escapes.
std::string quoteText(std::string_view text);

class ScriptRunner {
  public:
    ScriptRunner(Model &model, Script script, std::string shotsDirectory, std::FILE *out = stdout);

    enum class Step { Taken, Failed, Exhausted };
    // Takes the next action. On Failed, error() holds "NAME:LINE: reason".
    Step step();
    bool exhausted() const { return next_ >= script_.actions.size(); }
    const Action *nextAction() const;
    const std::string &error() const { return error_; }
    const std::string &name() const { return script_.name; }
    std::size_t remaining() const { return script_.actions.size() - next_; }

    // A message box the program showed: printed as  message "TITLE" "TEXT"  and kept for
    // expect-message.
    void messageShown(const std::string &title, const std::string &text);
    // The answer to a file dialog: a `file` action taken earlier, or else the next action if
    // it is one. Returns VAL_*_FILE_SELECTED, or a negative status with error() set.
    int answerFileDialog(std::string &path);

  private:
    Model &model_;
    Script script_;
    std::string shots_;
    std::FILE *out_;
    std::size_t next_ = 0;
    std::string error_;
    std::deque<std::string> messages_;  // texts not yet checked
    struct FileAnswer {
        bool cancel = true;
        std::string path;
    };
    std::deque<FileAnswer> answers_;
    int lastLine_ = 0;

    bool run(const Action &action);
    bool fail(const Action &action, const std::string &why);
    bool resolve(const Action &action, int &panel, int &control);
    std::string valueText(int panel, const Control &control) const;
    void dump(int panel);
};

}  // namespace panel
