// What a run puts right when a signal ends it (Ctrl-C, a terminal that
// closes, kill, a reader of its output that went away): its temporary files
// go and an earlier output that it kept aside comes back, then the signal
// ends the process as it would have. The handler only deletes and renames
// files, which is all it may safely do.
#pragma once

#include <cstddef>
#include <string>

namespace lexbuild::platform {

/// Installs the handler for SIGINT, SIGTERM, SIGHUP and SIGPIPE; signals the
/// process ignores stay ignored. Later calls do nothing.
void install_interrupt_cleanup();

/// One file to put right, for as long as the object lives.
class InterruptCleanup {
 public:
  /// On a signal: renames `from` to `to`, or deletes `from` when `to` is
  /// empty. A path too long for the handler's table is not registered.
  explicit InterruptCleanup(const std::string& from, const std::string& to = std::string());
  ~InterruptCleanup();  // withdraws the registration
  InterruptCleanup(const InterruptCleanup&) = delete;
  InterruptCleanup& operator=(const InterruptCleanup&) = delete;

 private:
  static constexpr size_t kNoSlot = static_cast<size_t>(-1);
  size_t slot_ = kNoSlot;
};

}  // namespace lexbuild::platform
