#include <windows.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/interrupt_cleanup.h"
#include "platform/win32_text.h"

namespace lexbuild::platform {
namespace {

// A run registers a handful of files at a time: the kept output, its
// temporary replacement, the lock file, its stage files, the list of them.
constexpr size_t kSlots = 32;
constexpr size_t kPathRoom = 4096;
constexpr size_t kSweeps = 4;

// What a process that Ctrl-C ends returns on Windows.
constexpr UINT kInterruptedStatus = 0xC000013A;  // STATUS_CONTROL_C_EXIT

struct Slot {
  std::atomic<bool> used{false};
  bool last = false;
  unsigned long sequence = 0;  // when it was registered
  std::wstring from;
  std::wstring to;
};

struct Sweep {
  std::atomic<bool> used{false};
  std::wstring folder;
  InterruptSweep::NameTest owned = nullptr;
};

std::array<Slot, kSlots> slots;
std::array<Sweep, kSweeps> sweeps;
std::mutex registering;  // threads register one at a time; the handler takes no lock
unsigned long registrations = 0;

void put_right(const Slot& slot) {
  if (!slot.to.empty()) {
    // Renaming one name of a file over another of the same file changes
    // nothing: the first name goes afterwards in any case.
    if (::MoveFileExW(slot.from.c_str(), slot.to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      ::DeleteFileW(slot.from.c_str());
    }
  } else {
    ::DeleteFileW(slot.from.c_str());
  }
}

void put_right(bool last) {
  if (!last) {
    for (const Slot& slot : slots) {
      if (slot.used.load() && !slot.last) put_right(slot);
    }
    return;
  }
  // The latest registered first: the list of the run's files goes before
  // the lock, which lets the next build into the folder.
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

void sweep_folder(const Sweep& sweep) {
  if (!sweep.used.load()) return;
  WIN32_FIND_DATAW found{};
  const std::wstring search = sweep.folder + L"\\*";
  const HANDLE find = ::FindFirstFileExW(search.c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = win32::narrow(found.cFileName);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && sweep.owned(name.c_str())) {
      ::DeleteFileW((sweep.folder + L"\\" + found.cFileName).c_str());
    }
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
}

// DeferredInterrupts alive, in all threads and in this one; once the
// cleanup began no new one starts.
std::atomic<int> deferring{0};
thread_local int deferring_here = 0;
std::atomic<bool> cleaning{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI on_console_event(DWORD event) { return handle_console_event(event) ? TRUE : FALSE; }

}  // namespace

// Ctrl-C and Ctrl-Break, the console window closing, the user logging off
// and the system shutting down all end the run the same way.
bool handle_console_event(unsigned long event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return false;
  }
  if (cleaning.exchange(true)) return true;  // one cleanup at a time
  // A file being made and registered is first registered.
  while (deferring.load() > 0) ::Sleep(1);
  put_right(false);
  for (const Sweep& sweep : sweeps) sweep_folder(sweep);
  put_right(true);
  // Every thread stops at once, so that none creates a file after the cleanup.
  ::TerminateProcess(::GetCurrentProcess(), kInterruptedStatus);
  return true;
}

void install_interrupt_cleanup() {
  static std::once_flag once;
  std::call_once(once, [] { ::SetConsoleCtrlHandler(on_console_event, TRUE); });
}

InterruptCleanup::InterruptCleanup(const std::string& from, const std::string& to, Order order) {
  if (from.size() >= kPathRoom || to.size() >= kPathRoom) return;
  const std::lock_guard lock(registering);
  for (size_t i = 0; i < kSlots; ++i) {
    Slot& slot = slots[i];
    if (slot.used.load()) continue;
    slot.from = win32::widen(from);
    slot.to = win32::widen(to);
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

// fd_ holds the number of the sweep's entry.
InterruptSweep::InterruptSweep(const std::string& folder, NameTest owned) {
  const std::lock_guard lock(registering);
  for (size_t i = 0; i < kSweeps; ++i) {
    Sweep& sweep = sweeps[i];
    if (sweep.used.load()) continue;
    sweep.folder = win32::widen(folder);
    sweep.owned = owned;
    sweep.used.store(true);  // only now may the handler use it
    fd_ = static_cast<int>(i);
    return;
  }
}

InterruptSweep::~InterruptSweep() {
  if (fd_ < 0) return;
  const std::lock_guard lock(registering);
  sweeps[static_cast<size_t>(fd_)].used.store(false);
}

DeferredInterrupts::DeferredInterrupts() {
  deferring.fetch_add(1);
  if (deferring_here++ > 0 || !cleaning.load()) return;
  // The cleanup runs: nothing more is made, the process ends.
  --deferring_here;
  deferring.fetch_sub(1);
  for (;;) ::Sleep(INFINITE);
}

DeferredInterrupts::~DeferredInterrupts() {
  --deferring_here;
  deferring.fetch_sub(1);
}

}  // namespace lexbuild::platform
