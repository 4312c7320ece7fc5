// A user who answers the boxes, file dialogs and list popups the code
// under test shows, in a fixed order, and reports what each looked like.
//
// On Windows a second thread waits for each window by its caption and
// works it as a person would: presses a box's button, types a name into a
// file dialog and presses OK (or Cancel), clicks an item of a list. It can
// photograph the screen while a window is up.
// Natively the windows are drawn on the terminal: the user's answers are
// the lines fed to standard input, what the user saw is read back from the
// standard error stream, and a photograph is that window's text.
#pragma once

#include "platform/os.h"

#include <memory>
#include <string>
#include <vector>

struct SeenWindow {
    std::string Caption;
    std::string Text;   // a box's message
    std::string Field;  // a file dialog's file name field as it opened
};

class ScriptedUser {
public:
    ScriptedUser();
    ~ScriptedUser();

    // Steps, in the order the windows will come. A screenshot name saves
    // a picture of that window under the build's screenshots folder.
    ScriptedUser &AnswerBox(const std::string &caption, int button, const std::string &screenshot = "");
    // An empty name cancels the dialog.
    ScriptedUser &ChooseFile(const std::string &caption, const std::string &name,
                             const std::string &screenshot = "");
    ScriptedUser &PickItem(const std::string &caption, int index, const std::string &screenshot = "");

    // Begins watching (Windows) or takes over the terminal (natively).
    void Start();
    // Ends it, with no further window awaited; answers what was seen.
    std::vector<SeenWindow> Finish();

    struct Step {
        enum Kind { Box, File, Item } What;
        std::string Caption;
        int Button;
        std::string Name;
        int Index;
        std::string Screenshot;
    };
    struct State;

private:
    std::vector<Step> Steps;
    std::unique_ptr<State> Running;
};

// The build's folder for screenshots, created on first use.
std::string ScreenshotPath(const std::string &name);
