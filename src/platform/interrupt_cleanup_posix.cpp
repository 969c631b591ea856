#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>  // also sigaction() and sigfillset() of POSIX
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/interrupt_cleanup.h"

namespace lexbuild::platform {
namespace {

// A run registers a handful of files at a time: the kept output, its
// temporary replacement, the lock file.
constexpr size_t kSlots = 16;
constexpr size_t kPathRoom = 4096;

static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads the flags");

struct Slot {
  std::atomic<bool> used{false};
  std::array<char, kPathRoom> from{};
  std::array<char, kPathRoom> to{};
};

std::array<Slot, kSlots> slots;
std::mutex registering;  // threads register one at a time; the handler takes no lock

constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void on_signal(int signal_number) {
  for (Slot& slot : slots) {
    if (!slot.used.load()) continue;
    if (slot.to[0] != '\0') {
      // Renaming one name of a file over another of the same file changes
      // nothing: the first name goes afterwards in any case.
      if (::rename(slot.from.data(), slot.to.data()) == 0) ::unlink(slot.from.data());
    } else {
      ::unlink(slot.from.data());
    }
  }
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

}  // namespace

void install_interrupt_cleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int signal_number : kSignals) {
      struct sigaction action {};
      if (::sigaction(signal_number, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) {
        continue;  // nohup and the like: ignored it stays
      }
      action = {};
      action.sa_handler = on_signal;
      sigfillset(&action.sa_mask);  // one cleanup at a time
      ::sigaction(signal_number, &action, nullptr);
    }
  });
}

InterruptCleanup::InterruptCleanup(const std::string& from, const std::string& to) {
  if (from.size() >= kPathRoom || to.size() >= kPathRoom) return;
  const std::lock_guard lock(registering);
  for (size_t i = 0; i < kSlots; ++i) {
    Slot& slot = slots[i];
    if (slot.used.load()) continue;
    std::memcpy(slot.from.data(), from.c_str(), from.size() + 1);
    std::memcpy(slot.to.data(), to.c_str(), to.size() + 1);
    slot.used.store(true);  // only now may the handler read the paths
    slot_ = i;
    return;
  }
}

InterruptCleanup::~InterruptCleanup() {
  if (slot_ == kNoSlot) return;
  const std::lock_guard lock(registering);
  slots[slot_].used.store(false);
}

}  // namespace lexbuild::platform
