// netsetup-gtk under Xvfb over registered devices (no mDNS daemon answers):
// the window's width and row height, the escaped address label, a keyboard
// toggle confirmed with OK, and Cancel and the frame's close button, which
// record nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/netsetup/ToolFolder.h"
#include "tests/netsetup/XSession.h"

namespace {

using netsetuptest::Background;
using netsetuptest::ToolFolder;
using netsetuptest::WindowGeometry;
using netsetuptest::XSession;

const char kTwo[] =
    "DEVICE=office , XY-100 , NET , IP-ADDRESS=192.0.2.5 \n"
    "DEVICE=lab , XY-100 , NET , IP-ADDRESS=192.0.2.6 \n";

class Window : public testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!XSession::Available(&why)) {
            GTEST_SKIP() << why;
        }
        x_ = std::make_unique<XSession>(tools_.Dir().Path());
        ASSERT_TRUE(x_->Started()) << ScratchDir::Read(tools_.Path("xvfb.log"));
    }
    // Starts netsetup-gtk and waits for its window.
    std::unique_ptr<Background> Open(unsigned long* window, WindowGeometry* geometry)
    {
        auto tool = std::make_unique<Background>(std::vector<std::string>{tools_.Path("netsetup-gtk")},
                                                 x_->With(tools_.Environment()), tools_.Path("gtk"));
        *window = x_->FindWindow("tolmexconfig");
        *geometry = x_->Geometry(*window);
        return tool;
    }
    ToolFolder tools_;
    std::unique_ptr<XSession> x_;
};

TEST_F(Window, Width730AndTheSameHeightForEachFurtherDevice)
{
    std::string registration;
    std::vector<int> heights;
    for (int devices = 1; devices <= 3; ++devices) {
        registration += "DEVICE=d" + std::to_string(devices) + " , XY-100 , NET , IP-ADDRESS=192.0.2." +
                        std::to_string(devices) + " \n";
        tools_.Registration(registration);
        unsigned long window = 0;
        WindowGeometry geometry;
        auto tool = Open(&window, &geometry);
        ASSERT_NE(0u, window) << tool->Err();
        EXPECT_EQ(730, geometry.width);
        heights.push_back(geometry.height);
        ASSERT_TRUE(x_->ClickButton(geometry, false));
        EXPECT_EQ(0, tool->Wait(10)) << tool->Err();
    }
    EXPECT_GT(heights[1], heights[0]);
    EXPECT_EQ(heights[1] - heights[0], heights[2] - heights[1]);
    EXPECT_EQ("", tools_.SudoLog());
}

TEST_F(Window, AKeyboardUntickConfirmedWithOkRemovesTheDevice)
{
    // An address with markup characters is shown as text.
    tools_.Registration(std::string(kTwo) + "DEVICE=odd , XY-100 , NET , IP-ADDRESS=1&2<3 \n");
    unsigned long window = 0;
    WindowGeometry geometry;
    auto tool = Open(&window, &geometry);
    ASSERT_NE(0u, window);
    EXPECT_EQ("00", x_->BoxesDifferFrom(geometry, 0, {1, 2}, "00"));
    // The first box has the focus; Tab moves to the second.
    ASSERT_TRUE(x_->Keys(window, {"Tab", "space"}));
    EXPECT_EQ("01", x_->BoxesDifferFrom(geometry, 0, {2, 1}, "01"));
    ASSERT_TRUE(x_->ClickButton(geometry, true));
    EXPECT_EQ(0, tool->Wait(10)) << tool->Err();
    EXPECT_EQ("sudo\n" + tools_.Path("tolmexconfig") + "\n-r\nlab\n", tools_.SudoLog());
    EXPECT_EQ(std::string::npos, tool->Err().find("markup")) << tool->Err();
}

TEST_F(Window, CancelAndTheFramesCloseButtonRecordNothing)
{
    tools_.Registration(kTwo);
    for (bool frame : {false, true}) {
        unsigned long window = 0;
        WindowGeometry geometry;
        auto tool = Open(&window, &geometry);
        ASSERT_NE(0u, window);
        ASSERT_TRUE(x_->Keys(window, {"space", "Tab", "space"}));
        EXPECT_EQ("1", x_->BoxesDifferFrom(geometry, 2, {0}, "1"));  // both boxes unticked now
        if (frame) {
            ASSERT_TRUE(x_->CloseWindow(window));
        } else {
            ASSERT_TRUE(x_->ClickButton(geometry, false));
        }
        EXPECT_EQ(0, tool->Wait(10)) << tool->Err();
        EXPECT_EQ("", tools_.SudoLog()) << (frame ? "frame" : "Cancel");
        EXPECT_EQ(kTwo, tools_.Registration());
    }
}

}  // namespace
