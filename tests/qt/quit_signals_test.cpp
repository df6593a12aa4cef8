// SIGTERM and SIGINT close the window through the event loop, once, and give the
// signals back to whoever handled them before.
#include "desktop/quit_signals.h"

#include <csignal>

#include "app/window_proc.h"
#include "qt/qt_test_support.h"

namespace {

[[maybe_unused]] const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

volatile sig_atomic_t earlierHandlerRuns = 0;
void EarlierHandler(int) {
  earlierHandlerRuns = earlierHandlerRuns + 1;
}

// Stands in for whatever handled the signals before the program did, so a
// signal that reaches it is seen instead of ending the test.
class QuitSignalsTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    earlierHandlerRuns = 0;
    struct sigaction action {};
    action.sa_handler = EarlierHandler;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGTERM, &action, &savedTerm), 0);
    ASSERT_EQ(sigaction(SIGINT, &action, &savedInt), 0);
  }
  void TearDown() override {
    sigaction(SIGTERM, &savedTerm, nullptr);
    sigaction(SIGINT, &savedInt, nullptr);
    WindowFixture::TearDown();
  }

  // Runs the event loop until `done` holds; a guard against a hang, not a timing.
  template <typename Done>
  bool PumpUntil(Done done) {
    for (int i = 0; i < 3000 && !done(); ++i) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
  }

  static bool HandlerIs(int number, void (*handler)(int)) {
    struct sigaction now {};
    sigaction(number, nullptr, &now);
    return now.sa_handler == handler;
  }

  int Destroys() const {
    int n = 0;
    for (const Message& m : Received()) n += m.id == WM_DESTROY ? 1 : 0;
    return n;
  }

  struct sigaction savedTerm {};
  struct sigaction savedInt {};
};

TEST_F(QuitSignalsTest, TermClosesTheWindowOnTheEventLoop) {
  window->show();
  QuitSignals quit([this] { window->close(); });
  ASSERT_TRUE(quit.Installed());
  raise(SIGTERM);
  // Nothing happens inside the handler: the close waits for the loop.
  EXPECT_EQ(Destroys(), 0);
  EXPECT_TRUE(PumpUntil([this] { return Destroys() > 0; }));
  EXPECT_EQ(Destroys(), 1);
  EXPECT_EQ(earlierHandlerRuns, 0);
}

TEST_F(QuitSignalsTest, SignalsBeforeTheLoopRunsCloseOnceAndASecondGoesOn) {
  int closes = 0;
  QuitSignals quit([&closes] { ++closes; });
  ASSERT_TRUE(quit.Installed());
  raise(SIGINT);
  raise(SIGTERM);
  EXPECT_TRUE(PumpUntil([&closes] { return closes > 0; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(earlierHandlerRuns, 0);
  // Winding down: another Ctrl+C is handled as it was before the program.
  EXPECT_TRUE(HandlerIs(SIGINT, EarlierHandler));
  EXPECT_TRUE(HandlerIs(SIGTERM, EarlierHandler));
  raise(SIGINT);
  EXPECT_EQ(earlierHandlerRuns, 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(closes, 1);
}

TEST_F(QuitSignalsTest, LeavingGivesTheSignalsBackAndOnlyOneOwnerAtATime) {
  int closes = 0;
  {
    QuitSignals quit([&closes] { ++closes; });
    ASSERT_TRUE(quit.Installed());
    EXPECT_FALSE(HandlerIs(SIGTERM, EarlierHandler));
    QuitSignals second([&closes] { closes += 10; });
    EXPECT_FALSE(second.Installed());
  }
  EXPECT_TRUE(HandlerIs(SIGTERM, EarlierHandler));
  EXPECT_TRUE(HandlerIs(SIGINT, EarlierHandler));
  raise(SIGTERM);
  QCoreApplication::processEvents();
  EXPECT_EQ(earlierHandlerRuns, 1);
  EXPECT_EQ(closes, 0);
  // A later instance owns them again.
  QuitSignals again([&closes] { ++closes; });
  EXPECT_TRUE(again.Installed());
}

}  // namespace
