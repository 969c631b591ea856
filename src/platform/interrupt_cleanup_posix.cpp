#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <csignal>  // also sigaction(), sigfillset() and pthread_sigmask() of POSIX
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
static_assert(std::atomic<long>::is_always_lock_free, "the handler reads the main thread");

struct Slot {
  std::atomic<bool> used{false};
  bool last = false;
  unsigned long sequence = 0;  // when it was registered
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
unsigned long registrations = 0;

constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The thread that installed the handler, the one that makes the run's
// files: a signal that reaches another thread is passed on to it, so that
// no file is made while the handler puts the others right.
std::atomic<long> main_process{0};
std::atomic<long> main_thread{0};

// DeferredInterrupts alive in all threads, and in this one.
std::atomic<int> deferring{0};
thread_local int deferring_here = 0;
std::atomic<int> held_back{0};    // the signal that waits for them, 0 for none
std::atomic<bool> ending{false};  // a thread puts the files right

void put_right(const Slot& slot) {
  if (slot.to[0] != '\0') {
    // Renaming one name of a file over another of the same file changes
    // nothing: the first name goes afterwards in any case.
    if (::rename(slot.from.data(), slot.to.data()) == 0) ::unlink(slot.from.data());
  } else {
    ::unlink(slot.from.data());
  }
}

void put_right_first() {
  for (const Slot& slot : slots) {
    if (slot.used.load() && !slot.last) put_right(slot);
  }
}

// The latest registered first: the list of the run's files goes before the
// lock, which lets the next build into the folder.
void put_right_last() {
  unsigned long below = ULONG_MAX;
  for (;;) {
    const Slot* next = nullptr;
    for (const Slot& slot : slots) {
      if (slot.used.load() && slot.last && slot.sequence < below &&
          (next == nullptr || slot.sequence > next->sequence)) {
        next = &slot;
      }
    }
    if (next == nullptr) return;
    put_right(*next);
    below = next->sequence;
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

[[noreturn]] void wait_for_the_end() {
  for (;;) ::pause();
}

// Puts the files right and ends the process by `signal_number`, so that its
// parent sees which signal ended it; in a handler or outside one.
[[noreturn]] void end_run(int signal_number) {
  sigset_t all;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, nullptr);    // nothing interrupts the cleanup
  if (ending.exchange(true)) wait_for_the_end();  // another thread does it
  put_right_first();
  for (const Sweep& sweep : sweeps) sweep_folder(sweep);
  put_right_last();
  ::signal(signal_number, SIG_DFL);
  // To this thread, where it waits until it is unblocked.
  ::syscall(SYS_tgkill, ::getpid(), ::syscall(SYS_gettid), signal_number);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, signal_number);
  ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);  // the signal ends the process here
  ::_exit(128 + signal_number);
}

// Passes the signal on to the main thread; false when this is that thread,
// or in a process forked from the one that installed the handler.
bool passed_to_main_thread(int signal_number) {
  const long process = main_process.load();
  const long thread = main_thread.load();
  if (process != ::getpid() || thread == ::syscall(SYS_gettid)) return false;
  return ::syscall(SYS_tgkill, process, thread, signal_number) == 0;
}

// The last DeferredInterrupts to go ends the run when a signal waits.
void release_deferral() {
  if (deferring.fetch_sub(1) != 1) return;
  const int signal_number = held_back.load();
  if (signal_number != 0) end_run(signal_number);
}

void on_signal(int signal_number) {
  if (passed_to_main_thread(signal_number)) return;
  int none = 0;
  held_back.compare_exchange_strong(none, signal_number);
  if (deferring.load() > 0) return;  // the last DeferredInterrupts ends the run
  end_run(held_back.load());
}

}  // namespace

void install_interrupt_cleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    main_process.store(::getpid());
    main_thread.store(::syscall(SYS_gettid));
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
    slot.sequence = ++registrations;
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

DeferredInterrupts::DeferredInterrupts() {
  deferring.fetch_add(1);
  if (deferring_here++ > 0 || held_back.load() == 0) return;
  // A signal came first: nothing more is made, the run ends.
  --deferring_here;
  release_deferral();
  // Another thread's DeferredInterrupts ends it when it goes.
  sigset_t all;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
  wait_for_the_end();
}

DeferredInterrupts::~DeferredInterrupts() {
  --deferring_here;
  release_deferral();
}

}  // namespace lexbuild::platform
