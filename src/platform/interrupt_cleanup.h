// What a run puts right when a signal ends it (Ctrl-C, a terminal that
// closes, kill, a reader of its output that went away): its temporary files
// go and an earlier output that it kept aside comes back, then the signal
// ends the process as it would have. The handler only deletes and renames
// files, which is all it may safely do.
//
// InterruptSweep and DeferredInterrupts are new beside InterruptCleanup; the
// Win32 half needs them too.
#pragma once

#include <cstddef>
#include <string>

namespace lexbuild::platform {

/// Installs the handler for SIGINT, SIGTERM, SIGHUP and SIGPIPE; signals the
/// process ignores stay ignored. Later calls do nothing.
void install_interrupt_cleanup();

#ifdef _WIN32
/// What the console control handler that install_interrupt_cleanup()
/// registers does with `event`: Ctrl-C, Ctrl-Break, the console window
/// closing, logoff and shutdown put the files right and end the process
/// with STATUS_CONTROL_C_EXIT; any other event is left to the next handler
/// (false). Callable directly where no console sends events.
bool handle_console_event(unsigned long event);
#endif

/// One file to put right, for as long as the object lives.
class InterruptCleanup {
 public:
  enum class Order {
    kFirst,  // with the run's other files
    // After every other file and sweep, the latest registered first: the
    // list of the run's files, then the lock that guards the folder.
    kLast,
  };
  /// On a signal: renames `from` to `to`, or deletes `from` when `to` is
  /// empty. A path too long for the handler's table is not registered.
  explicit InterruptCleanup(const std::string& from, const std::string& to = std::string(),
                            Order order = Order::kFirst);
  ~InterruptCleanup();  // withdraws the registration
  InterruptCleanup(const InterruptCleanup&) = delete;
  InterruptCleanup& operator=(const InterruptCleanup&) = delete;

 private:
  static constexpr size_t kNoSlot = static_cast<size_t>(-1);
  size_t slot_ = kNoSlot;
};

/// The files of one folder that a run owns by their names (the work folder
/// it holds the lock of), for as long as the object lives: a signal deletes
/// every file in `folder` whose name `owned` accepts. `owned` is called from
/// the signal handler: it may only look at the name.
class InterruptSweep {
 public:
  using NameTest = bool (*)(const char* name);
  InterruptSweep(const std::string& folder, NameTest owned);
  ~InterruptSweep();
  InterruptSweep(const InterruptSweep&) = delete;
  InterruptSweep& operator=(const InterruptSweep&) = delete;

 private:
  int fd_ = -1;
};

/// A signal that arrives while one lives is held back until the last one is
/// gone, and then ends the run as it would have: so a file and its
/// registration above are made as one step, and no signal finds a file made
/// but not yet registered. Any thread; nests. Hold one only for as long as
/// such a step takes.
class DeferredInterrupts {
 public:
  DeferredInterrupts();
  ~DeferredInterrupts();
  DeferredInterrupts(const DeferredInterrupts&) = delete;
  DeferredInterrupts& operator=(const DeferredInterrupts&) = delete;
};

}  // namespace lexbuild::platform
