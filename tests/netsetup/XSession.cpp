// Xvfb started with -displayfd, background programs and the X tools.
#include "tests/netsetup/XSession.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "ScratchDir.h"
#include "tests/support/process/Process.h"

namespace netsetuptest {

Background::Background(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       const std::string& logBase)
    : pid_(testprocess::Spawn(argv, env, "", logBase + ".out", logBase + ".err")), logBase_(logBase)
{
}

Background::~Background() { testprocess::End(pid_, 0); }

int Background::Wait(int timeoutSeconds)
{
    int result = testprocess::Wait(pid_, timeoutSeconds * 1000);
    pid_ = -1;
    return result;
}

std::string Background::Out() const { return ScratchDir::Read(logBase_ + ".out"); }
std::string Background::Err() const { return ScratchDir::Read(logBase_ + ".err"); }

XSession::XSession(const std::string& workDir) : workDir_(workDir)
{
    // Xvfb picks a free display and writes its number to descriptor 3.
    const std::string numberFile = workDir + "/xvfb.display";
    xvfb_ = testprocess::Spawn(
        {"sh", "-c", "exec Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -ac -noreset 3>\"$0\"", numberFile},
        testprocess::Environment(), "", workDir + "/xvfb.log");
    for (int waited = 0; xvfb_ > 0 && waited < 10000; waited += 10) {
        std::string number = ScratchDir::Read(numberFile);
        if (number.find('\n') != std::string::npos) {
            display_ = std::atoi(number.c_str());
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

XSession::~XSession() { testprocess::End(xvfb_, 5000); }

bool XSession::Available(std::string* why)
{
    for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xdotool", "/usr/bin/import", "/usr/bin/python3"}) {
        if (access(tool, X_OK) != 0) {
            *why = std::string("missing ") + tool;
            return false;
        }
    }
    if (std::system("/usr/bin/python3 -c 'import Xlib, PIL' 2>/dev/null") != 0) {
        *why = "python3 lacks Xlib or PIL";
        return false;
    }
    return true;
}

std::vector<std::string> XSession::With(std::vector<std::string> env) const
{
    std::vector<std::string> out;
    for (std::string& e : env) {
        if (e.rfind("DISPLAY=", 0) != 0) {
            out.push_back(std::move(e));
        }
    }
    out.push_back("DISPLAY=" + Display());
    return out;
}

ToolRun XSession::Tool(const std::vector<std::string>& argv, int timeoutSeconds) const
{
    std::vector<std::string> env = With(testprocess::Environment());
    return RunProgram(argv, &env, "", workDir_, timeoutSeconds);
}

unsigned long XSession::FindWindow(const std::string& title) const
{
    ToolRun run = Tool({"xdotool", "search", "--sync", "--name", "^" + title + "$"}, 20);
    return run.exitCode == 0 ? std::strtoul(run.out.c_str(), nullptr, 10) : 0;
}

WindowGeometry XSession::Geometry(unsigned long window) const
{
    ToolRun run = Tool({"xdotool", "getwindowgeometry", "--shell", std::to_string(window)});
    WindowGeometry geometry;
    auto value = [&run](const std::string& key) {
        size_t at = run.out.find(key + "=");
        return at == std::string::npos ? -1 : std::atoi(run.out.c_str() + at + key.size() + 1);
    };
    geometry.x = value("X");
    geometry.y = value("Y");
    geometry.width = value("WIDTH");
    geometry.height = value("HEIGHT");
    return geometry;
}

ToolRun XSession::Python(const std::string& script, const std::vector<std::string>& args) const
{
    std::vector<std::string> argv = {"/usr/bin/python3", "-c", script};
    argv.insert(argv.end(), args.begin(), args.end());
    return Tool(argv, 20);
}

bool XSession::CloseWindow(unsigned long window) const
{
    static const char kScript[] = R"PY(
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object('window', int(sys.argv[1]))
message = protocol.event.ClientMessage(window=w, client_type=d.intern_atom('WM_PROTOCOLS'),
                                       data=(32, [d.intern_atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0]))
w.send_event(message, event_mask=X.NoEventMask)
d.sync()
)PY";
    return Python(kScript, {std::to_string(window)}).exitCode == 0;
}

bool XSession::Click(int x, int y) const
{
    return Tool({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"}).exitCode == 0;
}

bool XSession::ClickButton(const WindowGeometry& window, bool ok) const
{
    return Click(window.x + window.width - 10 - 32 - (ok ? 0 : 64), window.y + window.height - 10 - 10);
}

bool XSession::Keys(unsigned long window, const std::vector<std::string>& keys) const
{
    std::vector<std::string> argv = {"xdotool", "windowfocus", "--sync", std::to_string(window), "key"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    return Tool(argv).exitCode == 0;
}

std::string XSession::BoxesDifferFrom(const WindowGeometry& window, int first, const std::vector<int>& rows,
                                      const std::string& awaited) const
{
    static const char kScript[] = R"PY(
import sys
from PIL import Image, ImageChops
image = Image.open(sys.argv[1]).convert('RGB')
x, y = int(sys.argv[2]), int(sys.argv[3])
def box(row):
    top = y + 10 + 18 * row
    return image.crop((x + 10, top, x + 27, top + 16))
first = box(int(sys.argv[4]))
print(''.join('1' if ImageChops.difference(first, box(int(r))).getbbox() else '0' for r in sys.argv[5:]))
)PY";
    const std::string shot = workDir_ + "/screen.png";
    std::vector<std::string> args = {shot, std::to_string(window.x), std::to_string(window.y), std::to_string(first)};
    for (int row : rows) {
        args.push_back(std::to_string(row));
    }
    auto const end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        std::string read = "no screenshot";
        if (Tool({"import", "-window", "root", shot}).exitCode == 0) {
            ToolRun run = Python(kScript, args);
            read = run.exitCode == 0 ? run.out.substr(0, run.out.find('\n')) : run.err;
        }
        if (read == awaited || std::chrono::steady_clock::now() > end) {
            return read;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace netsetuptest
