// A private X display for window tests: Xvfb on a free display number
// (unix socket only), programs started on it in the background, and the
// X tools the tests drive it with (xdotool, ImageMagick's import, python3
// with Xlib and PIL).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/netsetup/ToolFolder.h"

namespace netsetuptest {

// A program running in the background; killed at destruction if still running.
class Background {
public:
    Background(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& logBase);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    bool Started() const { return pid_ > 0; }
    // The exit status once it ended within timeoutSeconds (128 + n after
    // signal n), else -1 and it is killed.
    int Wait(int timeoutSeconds);
    std::string Out() const;
    std::string Err() const;

private:
    pid_t pid_ = -1;
    std::string logBase_;
};

struct WindowGeometry {
    int x = 0, y = 0, width = 0, height = 0;
};

class XSession {
public:
    explicit XSession(const std::string& workDir);
    ~XSession();

    // Whether Xvfb and the tools are there; why says what is missing.
    static bool Available(std::string* why);
    bool Started() const { return display_ >= 0; }
    std::string Display() const { return ":" + std::to_string(display_); }
    // env with DISPLAY set to this display.
    std::vector<std::string> With(std::vector<std::string> env) const;

    // Runs an X tool on the display.
    ToolRun Tool(const std::vector<std::string>& argv, int timeoutSeconds = 20) const;
    // The window titled exactly title, waited for; 0 when none came.
    unsigned long FindWindow(const std::string& title) const;
    WindowGeometry Geometry(unsigned long window) const;
    // Runs python3 with the script and arguments on the display.
    ToolRun Python(const std::string& script, const std::vector<std::string>& args) const;

    // Asks the window to close as a window manager's frame button does:
    // a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
    bool CloseWindow(unsigned long window) const;
    // Clicks button 1 at x, y of the screen.
    bool Click(int x, int y) const;
    // Clicks the tools' OK or Cancel button: OK is the rightmost 64 pixels
    // inside the window's border of 10, Cancel left of it.
    bool ClickButton(const WindowGeometry& window, bool ok) const;
    // Gives the window the input focus and types the keys (xdotool names).
    bool Keys(unsigned long window, const std::vector<std::string>& keys) const;
    // Whether each of the rows' check boxes differs from row first's in a
    // screenshot of the screen: one '0' or '1' per row, e.g. "01". A row's
    // box is the 17 x 16 pixels at its left edge; rows sit at the window's
    // border, 18 pixels apart. Screenshots are taken until one reads
    // awaited, at most 20 s, since the tool draws keys typed before in its
    // own time; the last one's reading is returned.
    std::string BoxesDifferFrom(const WindowGeometry& window, int first, const std::vector<int>& rows,
                                const std::string& awaited) const;

private:
    std::string workDir_;
    pid_t xvfb_ = -1;
    int display_ = -1;
};

}  // namespace netsetuptest
