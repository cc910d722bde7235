#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/Shell.h"
#include "app/Window.h"
#include "base/Config.h"
#include "platform/fake/FakeWindowSystem.h"
#include "tests/support/TestDir.h"

namespace {

// A scripted demo: records what the loop asks of it.
struct ScriptedDemo {
  std::vector<std::string> events;
  std::vector<std::uint32_t> elapsed;
  int inits = 0;
  int frames = 0;
  bool initResult = true;
  size_t queueAtFirstUpdate = 0;
  RenderWindow* window = nullptr;
  KeyStates* keys = nullptr;
  std::function<void(int frame)> onFrame;  // runs in update
};

ScriptedDemo* demo = nullptr;
FakeWindowSystem* fake = nullptr;

bool scriptedInit(RenderWindow* window, KeyStates* keys) {
  demo->events.push_back("init");
  demo->window = window;
  demo->keys = keys;
  ++demo->inits;
  return demo->initResult;
}
void scriptedUpdate(std::uint32_t elapsed) {
  if (demo->elapsed.empty()) demo->queueAtFirstUpdate = fake->queue.size();
  demo->events.push_back("update");
  demo->elapsed.push_back(elapsed);
  if (demo->onFrame) demo->onFrame(demo->frames);
}
void scriptedDraw() {
  demo->events.push_back("draw");
  ++demo->frames;
}
void scriptedShutdown() { demo->events.push_back("shutdown"); }

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.install();
    fake = &system;
    demo = &scripted;
    TestDir::write("config.cfg", "640 480\n");
    hooks.init = scriptedInit;
    hooks.update = scriptedUpdate;
    hooks.draw = scriptedDraw;
    hooks.shutdown = scriptedShutdown;
  }
  // Runs the program, answering the start question.
  int run(int answer) {
    system.boxAnswers.push_front(answer);
    return runApplication(nullptr, hooks);
  }
  size_t count(const std::string& call) const {
    return static_cast<size_t>(std::count(system.calls.begin(), system.calls.end(), call));
  }
  // The record the program's window was made with.
  const RenderWindow& shellWindow() const {
    return *static_cast<const RenderWindow*>(system.created.at(0).createParam);
  }
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : system.boxes) texts.push_back(box.text);
    return texts;
  }

  TestDir dir;
  FakeWindowSystem system;
  ScriptedDemo scripted;
  DemoHooks hooks;
};

// ---- the window procedure ----

class WindowProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.install();
    app.instance = nullptr;
    window.keys = &keys;
    window.app = &app;
    ASSERT_TRUE(registerRenderClass(&app));
    handle = system.createWindow(0, "OpenGL", "t", 0, 0, 0, 100, 100, nullptr, nullptr, &window);
    window.window = handle;
  }
  ws::LResult send(std::uint32_t message, ws::WParam wParam = 0, ws::LParam lParam = 0) {
    system.calls.clear();
    return system.send(handle, message, wParam, lParam);
  }
  bool wentToDefault() const {
    return std::any_of(system.calls.begin(), system.calls.end(),
                       [](const std::string& c) { return c.rfind("defWindowProc", 0) == 0; });
  }

  FakeWindowSystem system;
  AppInstance app;
  KeyStates keys;
  RenderWindow window;
  ws::WindowHandle handle = nullptr;
};

TEST_F(WindowProcTest, CreationStoresTheWindowRecord) {
  EXPECT_EQ(system.windowUserData(handle), reinterpret_cast<std::intptr_t>(&window));
  const ws::WindowClass& wc = system.registered.at(0);
#ifdef _WIN64
  EXPECT_EQ(wc.size, 80u);
#else
  EXPECT_EQ(wc.size, 48u);
#endif
  EXPECT_EQ(wc.style, 0x23u);
  EXPECT_EQ(wc.background, 12);
  EXPECT_EQ(wc.cursor, ws::CursorArrow);
  EXPECT_STREQ(wc.className, "OpenGL");
  EXPECT_EQ(wc.proc, &renderWindowProc);
}

TEST_F(WindowProcTest, KeysUpTo255AreRecordedAndOthersGoToTheDefault) {
  for (int key : {0, int{'A'}, ws::VkF1, 255}) {
    EXPECT_EQ(send(ws::MsgKeyDown, key), 0);
    EXPECT_FALSE(wentToDefault());
    EXPECT_EQ(keys.held[key], 1);
    for (int other = 0; other < 256; ++other) {
      if (other != key) {
        ASSERT_EQ(keys.held[other], 0) << other;
      }
    }
    EXPECT_EQ(send(ws::MsgKeyUp, key), 0);
    EXPECT_EQ(keys.held[key], 0);
  }
  send(ws::MsgKeyDown, 256);
  EXPECT_TRUE(wentToDefault());
  send(ws::MsgKeyDown, 256 + 'A');
  EXPECT_EQ(keys.held['A'], 0);
  // Keys with Alt, and F10, are system keys and never reach the flags.
  send(ws::MsgSysKeyDown, ws::VkF10);
  EXPECT_TRUE(wentToDefault());
  send(ws::MsgSysKeyDown, 'X');
  EXPECT_EQ(keys.held[ws::VkF10], 0);
  EXPECT_EQ(keys.held['X'], 0);
}

TEST_F(WindowProcTest, SizeKindsSetVisibility) {
  window.visible = 1;
  EXPECT_EQ(send(ws::MsgSize, ws::SizeMinimized), 0);
  EXPECT_EQ(window.visible, 0);
  EXPECT_EQ(send(ws::MsgSize, ws::SizeRestored, 320 | (200 << 16)), 0);
  EXPECT_EQ(window.visible, 1);
  window.visible = 0;
  EXPECT_EQ(send(ws::MsgSize, ws::SizeMaximized, 320 | (200 << 16)), 0);
  EXPECT_EQ(window.visible, 1);
  window.visible = 0;
  send(ws::MsgSize, 3 /* SIZE_MAXSHOW */);
  EXPECT_TRUE(wentToDefault());
  EXPECT_EQ(window.visible, 0);
  // A window shrunk to no height must not divide by zero.
  EXPECT_EQ(send(ws::MsgSize, ws::SizeRestored, 320), 0);
}

TEST_F(WindowProcTest, CloseRequestsQuitWithoutDestroyingTheWindow) {
  window.keepRunning = 1;
  EXPECT_EQ(send(ws::MsgClose), 0);
  EXPECT_EQ(window.keepRunning, 0);
  ASSERT_EQ(system.posted.size(), 1u);
  EXPECT_EQ(system.posted[0].window, handle);
  EXPECT_EQ(system.posted[0].message, ws::MsgQuit);
  EXPECT_EQ(system.windowsDestroyed, 0);
}

TEST_F(WindowProcTest, ScreenSaverAndMonitorPowerAreRefused) {
  EXPECT_EQ(send(ws::MsgSysCommand, ws::ScScreenSave), 0);
  EXPECT_FALSE(wentToDefault());
  EXPECT_EQ(send(ws::MsgSysCommand, ws::ScMonitorPower), 0);
  EXPECT_FALSE(wentToDefault());
  send(ws::MsgSysCommand, ws::ScClose);
  EXPECT_TRUE(wentToDefault());
  send(ws::MsgSysCommand, ws::ScScreenSave + 1);
  EXPECT_TRUE(wentToDefault());
}

TEST_F(WindowProcTest, ToggleFlipsTheNextModeAndQuitsTheInnerLoopOnly) {
  window.keepRunning = 1;
  window.wantFullscreen = 1;
  send(MSG_TOGGLE_SCREEN_MODE);
  EXPECT_EQ(window.wantFullscreen, 0);
  EXPECT_TRUE(wentToDefault());
  ASSERT_EQ(system.posted.size(), 1u);
  EXPECT_EQ(system.posted[0].message, ws::MsgQuit);
  EXPECT_EQ(system.posted[0].window, handle);
  EXPECT_EQ(window.keepRunning, 1);
  send(MSG_TOGGLE_SCREEN_MODE);
  EXPECT_EQ(window.wantFullscreen, 1);
}

TEST_F(WindowProcTest, MessagesBeforeCreationGoToTheDefault) {
  ws::WindowHandle bare =
      system.createWindow(0, "OpenGL", "t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr);
  system.calls.clear();
  system.send(bare, ws::MsgKeyDown, 'A');
  system.send(bare, ws::MsgClose);
  EXPECT_EQ(system.calls.size(), 2u);
  EXPECT_EQ(keys.held['A'], 0);
}

// ---- the entry and the loops ----

TEST_F(ShellTest, AnsweringNoOpensAWindowWithTheConfiguredClientArea) {
  scripted.onFrame = [](int frame) {
    if (frame == 2) requestQuit(demo->window);
  };
  EXPECT_EQ(run(ws::IdNo), 0);
  ASSERT_GE(system.boxes.size(), 1u);
  EXPECT_EQ(system.boxes[0].text, "Would You Like To Run In Fullscreen Mode?");
  EXPECT_EQ(system.boxes[0].caption, "Start FullScreen?");
  EXPECT_EQ(system.boxes[0].type, ws::MbYesNo | ws::MbIconQuestion);
  EXPECT_EQ(system.boxes[0].owner, nullptr);
  ASSERT_EQ(system.created.size(), 1u);
  const auto& created = system.created[0];
  EXPECT_EQ(created.style, ws::WsOverlappedWindow);
  EXPECT_EQ(created.exStyle, ws::WsExAppWindow);
  // The fake's frame adds 8 on the sides and 24 on top.
  EXPECT_EQ(created.width, 640 + 16);
  EXPECT_EQ(created.height, 480 + 32);
  EXPECT_TRUE(system.modeRequests.empty());
  ASSERT_EQ(system.pixelFormats.size(), 1u);
  EXPECT_EQ(system.pixelFormats[0].size, 40);
  EXPECT_EQ(system.pixelFormats[0].flags, 0x25u);
  EXPECT_EQ(system.pixelFormats[0].colorBits, 32);
  EXPECT_EQ(system.pixelFormats[0].depthBits, 16);
  EXPECT_EQ(system.pixelFormats[0].stencilBits, 1);
  EXPECT_EQ(scripted.events.front(), "init");
  EXPECT_EQ(scripted.events.back(), "shutdown");
  EXPECT_EQ(scripted.frames, 3);
  EXPECT_EQ(system.swaps, 3);
  EXPECT_EQ(system.windowsDestroyed, 1);
  EXPECT_EQ(count("unregisterClass"), 1u);
}

TEST_F(ShellTest, FullScreenAnswerSwitchesTheModeAndHidesTheCursor) {
  scripted.onFrame = [](int) { requestQuit(demo->window); };
  EXPECT_EQ(run(ws::IdYes), 0);
  ASSERT_EQ(system.modeRequests.size(), 2u);
  EXPECT_EQ(system.modeRequests[0].size, 148);
  EXPECT_EQ(system.modeRequests[0].width, 640u);
  EXPECT_EQ(system.modeRequests[0].height, 480u);
  EXPECT_EQ(system.modeRequests[0].bitsPerPixel, 32u);
  EXPECT_EQ(system.modeRequests[0].fields, 0x001C0000u);
  EXPECT_EQ(system.modeRequests[1].size, 0);  // restored at close
  const auto& created = system.created.at(0);
  EXPECT_EQ(created.style, ws::WsPopup);
  EXPECT_EQ(created.exStyle, ws::WsExAppWindow | ws::WsExTopmost);
  EXPECT_EQ(created.width, 640);
  EXPECT_EQ(created.height, 480);
  EXPECT_EQ(count("hideCursor"), 1u);
  EXPECT_EQ(count("showCursor"), 1u);
}

TEST_F(ShellTest, RefusedModeFallsBackToAWindowWhoseOuterSizeIsTheConfiguredSize) {
  system.displayModeResult = false;
  scripted.onFrame = [](int) { requestQuit(demo->window); };
  EXPECT_EQ(run(ws::IdYes), 0);
  const std::vector<std::string> expected = {"Would You Like To Run In Fullscreen Mode?",
                                             "Mode Switch Failed.\nRunning In Windowed Mode."};
  EXPECT_EQ(boxTexts(), expected);
  EXPECT_EQ(system.boxes[1].caption, "Error");
  EXPECT_EQ(system.boxes[1].type, ws::MbOk | ws::MbIconExclamation);
  const auto& created = system.created.at(0);
  EXPECT_EQ(created.style, ws::WsOverlappedWindow);
  EXPECT_EQ(created.width, 640);
  EXPECT_EQ(created.height, 480);
  EXPECT_EQ(count("hideCursor"), 0u);
  EXPECT_EQ(count("restoreDisplayMode"), 0u);
}

TEST_F(ShellTest, ToggleRebuildsTheWindowInTheOtherModeWithoutRereadingTheConfiguration) {
  system.displayModeResult = false;
  scripted.onFrame = [](int frame) {
    if (frame == 0) {
      // The configuration is read once per run: edits take effect next start.
      TestDir::write("config.cfg", "300 200\n");
      requestScreenModeToggle(demo->window);
    }
    if (frame == 1) requestQuit(demo->window);
  };
  EXPECT_EQ(run(ws::IdNo), 0);
  EXPECT_EQ(scripted.inits, 2);
  const std::vector<std::string> expected = {"init", "update", "draw", "shutdown",
                                             "init", "update", "draw", "shutdown"};
  EXPECT_EQ(scripted.events, expected);
  ASSERT_EQ(system.created.size(), 2u);
  EXPECT_EQ(system.created[1].width, 640);
  EXPECT_EQ(system.created[1].height, 480);
  // The second window asked for full screen; refused here, so it is windowed again.
  ASSERT_EQ(system.modeRequests.size(), 1u);
  EXPECT_EQ(system.boxes.back().text, "Mode Switch Failed.\nRunning In Windowed Mode.");
  EXPECT_EQ(shellWindow().wantFullscreen, 1);
  EXPECT_EQ(system.windowsDestroyed, 2);
  EXPECT_EQ(shellWindow().keepRunning, 0);
}

TEST_F(ShellTest, KeyFlagsAreClearedForEveryNewWindow) {
  scripted.onFrame = [](int frame) {
    if (frame == 0) {
      fake->send(demo->window->window, ws::MsgKeyDown, 'Q');
      EXPECT_EQ(demo->keys->held['Q'], 1);
      requestScreenModeToggle(demo->window);
    } else {
      EXPECT_EQ(demo->keys->held['Q'], 0);
      requestQuit(demo->window);
    }
  };
  system.displayModeResult = false;
  EXPECT_EQ(run(ws::IdNo), 0);
  EXPECT_EQ(scripted.frames, 2);
}

TEST_F(ShellTest, PendingMessagesAreAllHandledBeforeTheNextFrame) {
  scripted.onFrame = [](int frame) {
    if (frame == 0) {
      for (int key : {int{'A'}, int{'B'}, int{'C'}})
        fake->inject(demo->window->window, ws::MsgKeyDown, key);
    } else {
      EXPECT_EQ(demo->keys->held['A'] + demo->keys->held['B'] + demo->keys->held['C'], 3);
      requestQuit(demo->window);
    }
  };
  EXPECT_EQ(run(ws::IdNo), 0);
  EXPECT_EQ(scripted.queueAtFirstUpdate, 0u);
  EXPECT_EQ(scripted.frames, 2);
}

TEST_F(ShellTest, KeyTappedBetweenFramesReachesTheNextUpdateExactlyOnce) {
  scripted.onFrame = [](int frame) {
    ws::WindowHandle w = demo->window->window;
    ws::WindowSystem& system = ws::windowSystem();
    if (frame == 0) {
      fake->inject(w, ws::MsgKeyDown, 'K');  // a tap: down and up in one pass
      fake->inject(w, ws::MsgKeyUp, 'K');
      fake->inject(w, ws::MsgKeyDown, 'H');  // held on
    } else if (frame == 1) {
      EXPECT_EQ(demo->keys->held['K'], 1);
      EXPECT_NE(system.keyState('K') & 0x80, 0);
      EXPECT_EQ(demo->keys->held['H'], 1);
    } else {
      EXPECT_EQ(demo->keys->held['K'], 0);
      EXPECT_EQ(system.keyState('K') & 0x80, 0);
      EXPECT_EQ(demo->keys->held['H'], 1);
      requestQuit(demo->window);
    }
  };
  EXPECT_EQ(run(ws::IdNo), 0);
  EXPECT_EQ(scripted.frames, 3);
}

TEST_F(ShellTest, MessagesForTheThreadAreNotTakenByTheLoop) {
  scripted.onFrame = [](int frame) {
    if (frame == 0) fake->inject(nullptr, ws::MsgKeyDown, 'A');
    if (frame == 1) requestQuit(demo->window);
  };
  EXPECT_EQ(run(ws::IdNo), 0);
  ASSERT_EQ(system.queue.size(), 1u);
  EXPECT_EQ(system.queue[0].window, nullptr);
}

TEST_F(ShellTest, ElapsedTimeIsTheUnsignedTickDifference) {
  system.ticks = 0xFFFFFFF0u;  // the window is made just before the counter wraps
  scripted.onFrame = [](int frame) {
    if (frame == 0) fake->ticks = 0x10;
    if (frame == 1) requestQuit(demo->window);
  };
  EXPECT_EQ(run(ws::IdNo), 0);
  ASSERT_EQ(scripted.elapsed.size(), 2u);
  EXPECT_EQ(scripted.elapsed[0], 0u);
  EXPECT_EQ(scripted.elapsed[1], 0x20u);
}

TEST_F(ShellTest, MinimisedWindowBlocksAndTheFirstFrameAfterRestoreGetsTheWholeTime) {
  system.ticks = 1000;
  scripted.onFrame = [](int frame) {
    if (frame == 0) {
      fake->ticks = 1016;
      fake->inject(demo->window->window, ws::MsgSize, ws::SizeMinimized);
    }
    if (frame == 1) requestQuit(demo->window);
  };
  system.onWait = []() {
    // Time passes while minimised; then the window is restored.
    fake->ticks += 5000;
    if (fake->waits == 2)
      fake->inject(demo->window->window, ws::MsgSize, ws::SizeRestored, 640 | (480 << 16));
  };
  EXPECT_EQ(run(ws::IdNo), 0);
  EXPECT_EQ(system.waits, 2);
  ASSERT_EQ(scripted.elapsed.size(), 2u);
  EXPECT_EQ(scripted.elapsed[0], 0u);
  EXPECT_EQ(scripted.elapsed[1], 10016u);  // measured from the last frame's start
}

TEST_F(ShellTest, FailedInitialisationQuitsAndShutsDown) {
  scripted.initResult = false;
  EXPECT_EQ(run(ws::IdNo), 0);
  const std::vector<std::string> expected = {"init", "shutdown"};
  EXPECT_EQ(scripted.events, expected);
  EXPECT_EQ(system.windowsDestroyed, 1);
  EXPECT_EQ(shellWindow().keepRunning, 0);
}

TEST_F(ShellTest, FailedWindowCreationReportsAndEndsWithAFailureStatus) {
  system.failCreateContext = true;
  EXPECT_EQ(run(ws::IdNo), 1);
  ASSERT_EQ(system.boxes.size(), 2u);
  EXPECT_EQ(system.boxes[1].text, "Error Creating OpenGL Window");
  EXPECT_EQ(system.boxes[1].caption, "Error");
  EXPECT_EQ(system.boxes[1].type, ws::MbOk | ws::MbIconExclamation);
  EXPECT_TRUE(scripted.events.empty());  // neither init nor shutdown
  EXPECT_EQ(system.windowsDestroyed, 1);
  EXPECT_EQ(count("releaseDC"), 1u);
  EXPECT_EQ(shellWindow().keepRunning, 0);
}

TEST_F(ShellTest, FailedCreationInFullScreenRestoresTheDisplayMode) {
  for (int step = 0; step < 4; ++step) {
    FakeWindowSystem fresh;
    fresh.install();
    fake = &fresh;
    fresh.failCreateWindow = step == 0;
    fresh.failGetDc = step == 1;
    fresh.pixelFormatResult = step == 2 ? 0 : 1;
    fresh.failMakeCurrent = step == 3;
    fresh.boxAnswers = {ws::IdYes};
    scripted = ScriptedDemo{};
    EXPECT_EQ(runApplication(nullptr, hooks), 1) << step;
    EXPECT_EQ(std::count(fresh.calls.begin(), fresh.calls.end(), "restoreDisplayMode"), 1) << step;
    EXPECT_EQ(fresh.cursorCounter, 0) << step;
    EXPECT_EQ(fresh.contextsDeleted, step == 3 ? 1 : 0) << step;
    EXPECT_TRUE(scripted.events.empty()) << step;
  }
  system.install();
}

TEST_F(ShellTest, ToggleThatCannotRecreateTheWindowEndsTheProgram) {
  scripted.onFrame = [](int) {
    fake->failCreateWindow = true;
    requestScreenModeToggle(demo->window);
  };
  system.displayModeResult = false;
  EXPECT_EQ(run(ws::IdNo), 1);
  EXPECT_EQ(system.boxes.back().text, "Error Creating OpenGL Window");
  const std::vector<std::string> expected = {"init", "update", "draw", "shutdown"};
  EXPECT_EQ(scripted.events, expected);
}

TEST_F(ShellTest, FailedRegistrationShowsBothMessagesAndReturnsMinusOne) {
  system.registerResult = false;
  EXPECT_EQ(run(ws::IdNo), -1);
  const std::vector<std::string> expected = {"Would You Like To Run In Fullscreen Mode?",
                                             "RegisterClassEx Failed!",
                                             "Error Registering Window Class!"};
  EXPECT_EQ(boxTexts(), expected);
  EXPECT_TRUE(system.created.empty());
}

}  // namespace
