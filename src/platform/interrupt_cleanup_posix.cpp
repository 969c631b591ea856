#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
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
// temporary replacement, the lock file, its stage files, the list of them.
constexpr size_t kSlots = 32;
constexpr size_t kPathRoom = 4096;
constexpr size_t kSweeps = 4;

static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads the flags");
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the folders");

struct Slot {
  std::atomic<bool> used{false};
  bool last = false;
  std::array<char, kPathRoom> from{};
  std::array<char, kPathRoom> to{};
};

struct Sweep {
  std::atomic<int> fd{-1};
  InterruptSweep::NameTest owned = nullptr;
};

std::array<Slot, kSlots> slots;
std::array<Sweep, kSweeps> sweeps;
std::mutex registering;  // threads register one at a time; the handler takes no lock

constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void put_right(bool last) {
  for (Slot& slot : slots) {
    if (!slot.used.load() || slot.last != last) continue;
    if (slot.to[0] != '\0') {
      // Renaming one name of a file over another of the same file changes
      // nothing: the first name goes afterwards in any case.
      if (::rename(slot.from.data(), slot.to.data()) == 0) ::unlink(slot.from.data());
    } else {
      ::unlink(slot.from.data());
    }
  }
}

// Reads the folder with the system call itself: opendir() and readdir()
// allocate, which a signal handler may not.
void sweep_folder(const Sweep& sweep) {
  const int fd = sweep.fd.load();
  if (fd < 0) return;
  alignas(8) static char entries[1 << 15];
  // Deleting while reading may hide an entry from one pass: a second pass
  // that finds nothing more to delete ends the sweep.
  for (int pass = 0; pass < 4; ++pass) {
    bool deleted = false;
    if (::lseek(fd, 0, SEEK_SET) != 0) return;
    for (;;) {
      const long n = ::syscall(SYS_getdents64, fd, entries, sizeof entries);
      if (n <= 0) break;
      for (long at = 0; at < n;) {
        // The kernel's layout of an entry, which dirent64 describes.
        const auto* entry = reinterpret_cast<const struct dirent64*>(entries + at);
        if (sweep.owned(entry->d_name) && ::unlinkat(fd, entry->d_name, 0) == 0) deleted = true;
        at += entry->d_reclen;
      }
    }
    if (!deleted) return;
  }
}

void on_signal(int signal_number) {
  put_right(false);
  for (const Sweep& sweep : sweeps) sweep_folder(sweep);
  put_right(true);
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

InterruptCleanup::InterruptCleanup(const std::string& from, const std::string& to, Order order) {
  if (from.size() >= kPathRoom || to.size() >= kPathRoom) return;
  const std::lock_guard lock(registering);
  for (size_t i = 0; i < kSlots; ++i) {
    Slot& slot = slots[i];
    if (slot.used.load()) continue;
    std::memcpy(slot.from.data(), from.c_str(), from.size() + 1);
    std::memcpy(slot.to.data(), to.c_str(), to.size() + 1);
    slot.last = order == Order::kLast;
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

InterruptSweep::InterruptSweep(const std::string& folder, NameTest owned) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  const std::lock_guard lock(registering);
  for (Sweep& sweep : sweeps) {
    if (sweep.fd.load() >= 0) continue;
    sweep.owned = owned;
    sweep.fd.store(fd);  // only now may the handler use it
    fd_ = fd;
    return;
  }
  ::close(fd);
}

InterruptSweep::~InterruptSweep() {
  if (fd_ < 0) return;
  {
    const std::lock_guard lock(registering);
    for (Sweep& sweep : sweeps) {
      if (sweep.fd.load() == fd_) sweep.fd.store(-1);
    }
  }
  ::close(fd_);
}

}  // namespace lexbuild::platform
