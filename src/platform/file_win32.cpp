#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/env.h"
#include "platform/file.h"
#include "platform/win32_text.h"

namespace lexbuild::platform {
namespace {

constexpr size_t kBufferSize = 1 << 16;
// One ReadFile or WriteFile moves at most this much.
constexpr DWORD kMaxTransfer = 1u << 30;

HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// A C run-time descriptor that owns `handle` (closing it closes the handle);
// -1 when there is none.
int descriptor_of(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) ::CloseHandle(handle);
  return fd;
}

// The error a failed CreateFileW left, with EISDIR for a folder (which the
// system reports as a denied access).
int open_error(const std::string& path) {
  const int error = win32::last_errno();
  const DWORD attributes = ::GetFileAttributesW(win32::widen(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return EISDIR;
  }
  return error;
}

// Writes all of `size` bytes; false with *error set.
bool write_all(int fd, const uint8_t* data, size_t size, int* error) {
  while (size > 0) {
    DWORD written = 0;
    const DWORD take = static_cast<DWORD>(std::min<size_t>(size, kMaxTransfer));
    if (!::WriteFile(handle_of(fd), data, take, &written, nullptr)) {
      *error = win32::last_errno();
      return false;
    }
    if (written == 0) {
      *error = EIO;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// Reads up to `size` bytes: how many, 0 at the end, -1 with *error on failure.
// A pipe whose writer closed it has ended.
long long read_some(int fd, uint8_t* data, size_t size, int* error) {
  DWORD got = 0;
  const DWORD take = static_cast<DWORD>(std::min<size_t>(size, kMaxTransfer));
  if (!::ReadFile(handle_of(fd), data, take, &got, nullptr)) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;
    *error = win32::errno_of(code);
    return -1;
  }
  return got;
}

size_t last_separator(std::string_view path) { return path.find_last_of("\\/"); }

}  // namespace

std::string error_text(int error_code) { return std::strerror(error_code); }

// ---- InputFile ----

InputFile::~InputFile() { close(); }

bool InputFile::open(const std::string& path) {
  close();
  fd_ = descriptor_of(win32::open_shared(path, GENERIC_READ, OPEN_EXISTING));
  if (fd_ < 0) {
    error_code_ = open_error(path);
    return false;
  }
  buffer_.resize(kBufferSize);
  pos_ = end_ = 0;
  at_end_ = failed_ = false;
  error_code_ = 0;
  return true;
}

bool InputFile::open_standard_input() {
  close();
  HANDLE copy = INVALID_HANDLE_VALUE;
  const HANDLE process = ::GetCurrentProcess();
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE ||
      !::DuplicateHandle(process, input, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    error_code_ = EBADF;
    return false;
  }
  fd_ = descriptor_of(copy);
  if (fd_ < 0) {
    error_code_ = EMFILE;
    return false;
  }
  buffer_.resize(kBufferSize);
  pos_ = end_ = 0;
  at_end_ = failed_ = false;
  error_code_ = 0;
  return true;
}

size_t InputFile::read_into(uint8_t* dst, size_t size) {
  if (fd_ < 0 || at_end_) return 0;
  const long long n = read_some(fd_, dst, size, &error_code_);
  if (n < 0) {
    failed_ = true;
    at_end_ = true;
    return 0;
  }
  if (n == 0) at_end_ = true;
  return static_cast<size_t>(n);
}

void InputFile::close() {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
  pos_ = end_ = 0;
}

// ---- OutputFile ----

// `flags` is the creation disposition: OPEN_ALWAYS (then truncated, so that a
// hidden or system file is replaced like any other) or CREATE_NEW.
bool OutputFile::create(const std::string& path, FileMode mode) {
  return open_for_writing(path, mode, OPEN_ALWAYS);
}

bool OutputFile::create_new(const std::string& path, FileMode mode) {
  return open_for_writing(path, mode, CREATE_NEW);
}

bool OutputFile::open_for_writing(const std::string& path, FileMode mode, int flags) {
  if (fd_ >= 0) close();
  failed_ = false;
  error_code_ = 0;
  written_ = 0;
  fill_ = 0;
  const HANDLE handle =
      win32::open_shared(path, GENERIC_READ | GENERIC_WRITE, static_cast<DWORD>(flags));
  if (handle != INVALID_HANDLE_VALUE && !::SetEndOfFile(handle)) {
    error_code_ = win32::last_errno();
    ::CloseHandle(handle);
    failed_ = true;
    return false;
  }
  fd_ = descriptor_of(handle);
  if (fd_ < 0) {
    failed_ = true;
    error_code_ = open_error(path);
    return false;
  }
  mode_ = mode;
  buffer_.resize(kBufferSize);
  return true;
}

void OutputFile::flush() {
  if (fill_ == 0) return;
  if (fd_ < 0) {
    failed_ = true;
    if (error_code_ == 0) error_code_ = EBADF;
  } else if (!failed_ && !write_all(fd_, buffer_.data(), fill_, &error_code_)) {
    failed_ = true;
  }
  written_ += fill_;
  fill_ = 0;
}

bool OutputFile::close() {
  if (fd_ < 0) return !failed_;
  flush();
  if (::_close(fd_) != 0 && !failed_) {
    failed_ = true;
    error_code_ = EIO;
  }
  fd_ = -1;
  return !failed_;
}

// ---- ReplacingOutput ----

ReplacingOutput::~ReplacingOutput() {
  if (!committed_ && !temp_path_.empty()) {
    file_.close();
    hold_.release();
    ::DeleteFileW(win32::widen(temp_path_).c_str());
  }
}

bool ReplacingOutput::create(const std::string& path) {
  path_ = path;
  const size_t slash = last_separator(path);
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  remove_abandoned_siblings(path, {"tmp"});
  temp_path_ = folder + "." + name + ".tmp" + std::to_string(process_id());
  committed_ = false;
  if (!file_.create(temp_path_)) {
    error_code_ = file_.error_code();
    temp_path_.clear();
    return false;
  }
  cleanup_.emplace(temp_path_);
  hold_.hold(temp_path_);
  return true;
}

bool ReplacingOutput::commit() {
  if (!file_.close()) {
    error_code_ = file_.error_code();
    return false;
  }
  if (!rename_file(temp_path_, path_, &error_code_)) return false;
  committed_ = true;
  cleanup_.reset();
  hold_.release();
  return true;
}

// ---- whole files and folders ----

bool read_file(const std::string& path, std::vector<uint8_t>& out, int* error_code) {
  out.clear();
  InputFile file;
  if (!file.open(path)) {
    if (error_code) *error_code = file.error_code();
    return false;
  }
  out.resize(static_cast<size_t>(file_size(path).value_or(0)) + 1);
  size_t done = 0;
  for (;;) {
    if (done == out.size()) out.resize(out.size() + kBufferSize);  // the file grew
    const size_t n = file.read(out.data() + done, out.size() - done);
    done += n;
    if (n == 0) break;
  }
  if (file.failed()) {
    if (error_code) *error_code = file.error_code();
    out.clear();
    return false;
  }
  out.resize(done);
  return true;
}

std::optional<uint64_t> file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(win32::widen(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool file_exists(const std::string& path) {
  return ::GetFileAttributesW(win32::widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool readable_once(const std::string& path) {
  // Asking needs no access to the data: opening a pipe this way takes nothing from it.
  const HANDLE handle =
      win32::open_shared(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const DWORD type = ::GetFileType(handle);
  ::CloseHandle(handle);
  return type != FILE_TYPE_DISK;
}

bool folder_exists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool folder_writable(const std::string& path) {
  // The read-only attribute means nothing for a folder: only creating a file tells.
  if (!folder_exists(path)) return false;
  const std::string probe = path_join(path, ".lexbuild-probe" + std::to_string(process_id()));
  const HANDLE handle = win32::open_shared(
      probe, GENERIC_WRITE, CREATE_NEW,
      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE);
  if (handle == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(handle);
  return true;
}

bool remove_file(const std::string& path) { return ::DeleteFileW(win32::widen(path).c_str()) != 0; }

bool rename_file(const std::string& from, const std::string& to, int* error_code) {
  const std::wstring source = win32::widen(from);
  const std::wstring target = win32::widen(to);
  if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DWORD error = ::GetLastError();
  if (error == ERROR_ACCESS_DENIED) {
    // This process's own hold on the target is no reason to fail.
    win32::let_go_of_holds(to);
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    error = ::GetLastError();
  }
  // A file that is open (a build holds its stage files and its earlier
  // database) cannot be renamed over, but it can be renamed away: moved
  // aside under a hidden name that nothing deletes unasked, then replaced.
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0) {
    const size_t slash = last_separator(to);
    const std::string folder = slash == std::string::npos ? "" : to.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? to : to.substr(slash + 1);
    const std::wstring aside =
        win32::widen(folder + "." + name + ".old" + std::to_string(process_id()));
    if (::MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      if (::MoveFileExW(source.c_str(), target.c_str(), 0)) {
        ::DeleteFileW(aside.c_str());
        return true;
      }
      error = ::GetLastError();
      ::MoveFileExW(aside.c_str(), target.c_str(), 0);
    } else {
      error = ::GetLastError();
    }
  }
  if (error_code) *error_code = win32::errno_of(error);
  return false;
}

bool link_file(const std::string& from, const std::string& to, int* error_code) {
  if (::CreateHardLinkW(win32::widen(to).c_str(), win32::widen(from).c_str(), nullptr)) return true;
  if (error_code) *error_code = win32::last_errno();
  return false;
}

bool same_file(const std::string& a, const std::string& b) {
  auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE handle =
        win32::open_shared(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    return known;
  };
  BY_HANDLE_FILE_INFORMATION ia{};
  BY_HANDLE_FILE_INFORMATION ib{};
  return identity(a, ia) && identity(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::string folder_of(const std::string& path) {
  const size_t slash = last_separator(path);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return path.substr(0, 1);
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);  // "C:\"
  return path.substr(0, slash);
}

std::vector<std::string> list_matching(const std::string& folder, std::string_view pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  const std::wstring search = win32::widen(path_join(folder, pattern));
  const HANDLE find = ::FindFirstFileExW(search.c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = win32::narrow(found.cFileName);
    if (name == "." || name == "..") continue;
    // The system's match ignores case: only names of exactly this pattern count.
    if (wildcard_match(pattern, name)) names.push_back(name);
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  std::sort(names.begin(), names.end());  // byte order: std::string compares as unsigned char
  return names;
}

}  // namespace lexbuild::platform
