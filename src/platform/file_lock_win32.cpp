#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "platform/env.h"
#include "platform/file.h"
#include "platform/file_lock.h"
#include "platform/win32_text.h"

#include <map>
#include <mutex>

namespace lexbuild::platform {
namespace {

// Windows locks keep others from the bytes they cover, so the lock covers
// one byte far beyond anything written: a held file stays readable and
// writable, also through this process's other handles.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

// A holder that finished deletes the lock file while it still has it open;
// the name stays taken (and cannot be opened) until that handle closes.
constexpr int kDeletePendingTries = 50;
constexpr DWORD kDeletePendingWaitMs = 10;

bool lock_byte(HANDLE handle, DWORD flags) {
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  return ::LockFileEx(handle, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

// Whether the open file is about to go: another handle deleted its name.
bool delete_pending(HANDLE handle) {
  FILE_STANDARD_INFO info{};
  return ::GetFileInformationByHandleEx(handle, FileStandardInfo, &info, sizeof info) &&
         info.DeletePending;
}

int descriptor_of(HANDLE handle) {
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) ::CloseHandle(handle);
  return fd;
}

}  // namespace

FileLock::~FileLock() { unlock(); }

FileLock::Result FileLock::lock(const std::string& path) {
  unlock();
  error_code_ = 0;
  for (int attempt = 0;; ++attempt) {
    const HANDLE handle = win32::open_shared(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_ACCESS_DENIED && attempt < kDeletePendingTries) {
        ::Sleep(kDeletePendingWaitMs);  // perhaps the holder is deleting it
        continue;
      }
      error_code_ = win32::errno_of(error);
      return Result::kFailed;
    }
    if (!lock_byte(handle, LOCKFILE_EXCLUSIVE_LOCK)) {
      const DWORD error = ::GetLastError();
      ::CloseHandle(handle);
      if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return Result::kBusy;
      error_code_ = win32::errno_of(error);
      return Result::kFailed;
    }
    if (delete_pending(handle)) {  // the holder deleted it meanwhile: try the new file
      ::CloseHandle(handle);
      continue;
    }
    fd_ = descriptor_of(handle);
    if (fd_ < 0) {
      error_code_ = EMFILE;
      return Result::kFailed;
    }
    path_ = path;
    // The very last file a signal deletes: once it is gone, another build
    // may take the folder.
    cleanup_.emplace(path_, std::string(), InterruptCleanup::Order::kLast);
    return Result::kLocked;
  }
}

void FileLock::unlock() {
  if (fd_ < 0) return;
  // Deleted while still locked, so that no other process can lock this file
  // once it is gone.
  ::DeleteFileW(win32::widen(path_).c_str());
  ::_close(fd_);
  fd_ = -1;
  cleanup_.reset();
}

namespace {

// This process's holds by path: a held file cannot be renamed over on
// Windows, so rename_file() lets go of the holds on its target first (the
// owner holds the new file again).
struct HoldEntry {
  std::string path;
  int fd = -1;
  bool let_go = false;
};
std::mutex holds_lock;
std::map<const FileHold*, HoldEntry> holds;

}  // namespace

namespace win32 {

void let_go_of_holds(const std::string& path) {
  const std::lock_guard lock(holds_lock);
  for (auto& [owner, entry] : holds) {
    if (entry.let_go || entry.path != path) continue;
    ::_close(entry.fd);
    entry.let_go = true;
  }
}

}  // namespace win32

FileHold::~FileHold() { release(); }

bool FileHold::hold(const std::string& path) {
  release();
  const HANDLE handle = win32::open_shared(path, GENERIC_READ, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) return false;
  if (!lock_byte(handle, 0)) {
    ::CloseHandle(handle);
    return false;
  }
  fd_ = descriptor_of(handle);
  if (fd_ < 0) return false;
  const std::lock_guard lock(holds_lock);
  holds[this] = HoldEntry{path, fd_, false};
  return true;
}

void FileHold::release() {
  if (fd_ < 0) return;
  const std::lock_guard lock(holds_lock);
  const auto it = holds.find(this);
  if (it == holds.end() || !it->second.let_go) ::_close(fd_);
  if (it != holds.end()) holds.erase(it);
  fd_ = -1;
}

bool remove_unheld(const std::string& path) {
  const HANDLE handle =
      win32::open_shared(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // Deleted while locked, and only when no other process holds it.
  const bool removed = lock_byte(handle, LOCKFILE_EXCLUSIVE_LOCK) && !delete_pending(handle) &&
                       ::DeleteFileW(win32::widen(path).c_str()) != 0;
  ::CloseHandle(handle);
  return removed;
}

bool process_may_run(long process_id) {
  if (process_id <= 0) return true;
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process_id));
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD status = 0;
  const bool running = !::GetExitCodeProcess(process, &status) || status == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
}

void remove_abandoned_siblings(const std::string& path,
                               std::initializer_list<std::string_view> tags) {
  const std::string folder = folder_of(path);
  const size_t slash = path.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const long own = process_id();
  for (const std::string_view tag : tags) {
    const std::string prefix = "." + name + "." + std::string(tag);
    for (const std::string& sibling : list_matching(folder, prefix + "*")) {
      const std::string_view digits = std::string_view(sibling).substr(prefix.size());
      if (digits.empty() || digits.size() > 18 ||
          digits.find_first_not_of("0123456789") != std::string_view::npos) {
        continue;  // not a name this program gives
      }
      const long owner = std::stol(std::string(digits));
      if (owner == own || process_may_run(owner)) continue;
      remove_unheld(path_join(folder, sibling));
    }
  }
}

}  // namespace lexbuild::platform
