#include "platform/interrupt_cleanup.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <optional>

#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace lexbuild::platform {
namespace {

using lexbuild::testing::exists;
using lexbuild::testing::read_text;
using lexbuild::testing::TempDir;
using lexbuild::testing::write_text;

// Death tests forked, not run anew, so that the child sees the test's
// folder; the style is put back for the tests that follow.
class InterruptCleanupTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "fast"); }
  void TearDown() override { GTEST_FLAG_SET(death_test_style, saved_); }

  std::string saved_ = GTEST_FLAG_GET(death_test_style);
  TempDir dir;
};

#ifdef _WIN32
// A death test runs in a new process of the test program, which makes a
// folder of its own: the folder of the test that started it is handed on
// in the environment.
std::string shared_folder(const TempDir& dir) {
  constexpr const char* kName = "LEXBUILD_DEATH_TEST_FOLDER";
  if (const char* inherited = std::getenv(kName)) return inherited;
  ::_putenv_s(kName, dir.path().c_str());
  return dir.path();
}

// The console sends its control events to the handler; the test stands in
// for the console (wine delivers none).
TEST_F(InterruptCleanupTest, EveryConsoleEventThatEndsTheRunPutsTheFilesRight) {
  const std::string folder = shared_folder(dir);
  const auto file = [&](const char* name) { return folder + "\\" + name; };
  constexpr int kControlCExit = static_cast<int>(0xC000013A);
  for (const unsigned long event :
       {CTRL_C_EVENT, CTRL_BREAK_EVENT, CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
    write_text(file("partial"), "half");
    write_text(file("kept"), "earlier");
    write_text(file("db"), "new");
    write_text(file("lock"), "");
    EXPECT_EXIT(
        {
          install_interrupt_cleanup();
          const InterruptCleanup lock(file("lock"), "", InterruptCleanup::Order::kLast);
          const InterruptCleanup temporary(file("partial"));
          const InterruptCleanup restore(file("kept"), file("db"));
          handle_console_event(event);
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(kControlCExit), "")
        << "event " << event;
    EXPECT_FALSE(exists(file("partial"))) << "event " << event;
    EXPECT_EQ(read_text(file("db")), "earlier") << "event " << event;
    EXPECT_FALSE(exists(file("kept"))) << "event " << event;
    EXPECT_FALSE(exists(file("lock"))) << "event " << event;
  }
  // Any other event is not the run's to answer.
  EXPECT_FALSE(handle_console_event(0x1234));
}
#else
// POSIX signals raised in a forked child.
TEST_F(InterruptCleanupTest, ASignalPutsTheFilesRightThenEndsTheProcess) {
  write_text(dir.file("partial"), "half");
  write_text(dir.file("kept"), "earlier");
  write_text(dir.file("db"), "new");
  write_text(dir.file("withdrawn"), "stays");
  EXPECT_EXIT(
      {
        install_interrupt_cleanup();
        const InterruptCleanup temporary(dir.file("partial"));
        const InterruptCleanup restore(dir.file("kept"), dir.file("db"));
        { const InterruptCleanup gone(dir.file("withdrawn")); }
        std::raise(SIGTERM);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_FALSE(exists(dir.file("partial")));
  EXPECT_EQ(read_text(dir.file("db")), "earlier");
  EXPECT_FALSE(exists(dir.file("kept")));
  EXPECT_EQ(read_text(dir.file("withdrawn")), "stays");
}

TEST_F(InterruptCleanupTest, ASignalWaitsUntilAFileAndItsRegistrationAreMade) {
  // The order of the last files too: the latest registered goes first.
  write_text(dir.file("list"), "of files");
  write_text(dir.file("lock"), "");
  EXPECT_EXIT(
      {
        install_interrupt_cleanup();
        const InterruptCleanup lock(dir.file("lock"), "", InterruptCleanup::Order::kLast);
        const InterruptCleanup list(dir.file("list"), dir.file("lock"),
                                    InterruptCleanup::Order::kLast);
        std::optional<InterruptCleanup> made;
        {
          const DeferredInterrupts outer;
          {
            const DeferredInterrupts inner;
            std::raise(SIGTERM);
            write_text(dir.file("made"), "stage file");
          }
          made.emplace(dir.file("made"));
        }
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_FALSE(exists(dir.file("made")));
  EXPECT_FALSE(exists(dir.file("list")));
  EXPECT_FALSE(exists(dir.file("lock"))) << "the list was renamed to it, then it went";
}

TEST_F(InterruptCleanupTest, AnIgnoredSignalStaysIgnored) {
  write_text(dir.file("partial"), "half");
  EXPECT_EXIT(
      {
        std::signal(SIGHUP, SIG_IGN);  // as under nohup
        install_interrupt_cleanup();
        const InterruptCleanup temporary(dir.file("partial"));
        std::raise(SIGHUP);
        std::_Exit(exists(dir.file("partial")) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace lexbuild::platform
