#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/env.h"
#include "platform/file.h"

namespace lexbuild::platform {
namespace {

constexpr size_t kBufferSize = 1 << 16;

// Writes all of `size` bytes, retrying short writes; false with errno set.
bool write_all(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string error_text(int error_code) { return std::strerror(error_code); }

// ---- InputFile ----

InputFile::~InputFile() { close(); }

bool InputFile::open(const std::string& path) {
  close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    error_code_ = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    error_code_ = EISDIR;
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
  fd_ = ::fcntl(0, F_DUPFD_CLOEXEC, 0);
  if (fd_ < 0) {
    error_code_ = errno;
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
  for (;;) {
    const ssize_t n = ::read(fd_, dst, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failed_ = true;
      error_code_ = errno;
      at_end_ = true;
      return 0;
    }
    if (n == 0) at_end_ = true;
    return static_cast<size_t>(n);
  }
}

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = end_ = 0;
}

// ---- OutputFile ----

bool OutputFile::create(const std::string& path, FileMode mode) {
  return open_for_writing(path, mode, O_TRUNC);
}

bool OutputFile::create_new(const std::string& path, FileMode mode) {
  return open_for_writing(path, mode, O_EXCL);
}

bool OutputFile::open_for_writing(const std::string& path, FileMode mode, int flags) {
  if (fd_ >= 0) close();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
  failed_ = false;
  error_code_ = 0;
  written_ = 0;
  fill_ = 0;
  if (fd_ < 0) {
    failed_ = true;
    error_code_ = errno;
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
  } else if (!failed_ && !write_all(fd_, buffer_.data(), fill_)) {
    failed_ = true;
    error_code_ = errno;
  }
  written_ += fill_;
  fill_ = 0;
}

bool OutputFile::close() {
  if (fd_ < 0) return !failed_;
  flush();
  if (::close(fd_) != 0 && !failed_) {
    failed_ = true;
    error_code_ = errno;
  }
  fd_ = -1;
  return !failed_;
}

// ---- ReplacingOutput ----

ReplacingOutput::~ReplacingOutput() {
  if (!committed_ && !temp_path_.empty()) {
    file_.close();
    ::unlink(temp_path_.c_str());
  }
}

bool ReplacingOutput::create(const std::string& path) {
  path_ = path;
  const size_t slash = path.find_last_of(kPathSeparator);
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  remove_abandoned_siblings(path, {"tmp"});
  temp_path_ = folder + "." + name + ".tmp" + std::to_string(process_id());
  committed_ = false;
  // The name carries this process's id: a signal may delete it before the
  // file exists, never after it exists unregistered.
  cleanup_.emplace(temp_path_);
  if (!file_.create(temp_path_)) {
    error_code_ = file_.error_code();
    cleanup_.reset();
    temp_path_.clear();
    return false;
  }
  hold_.hold(temp_path_);
  return true;
}

bool ReplacingOutput::commit() {
  if (!file_.close()) {
    error_code_ = file_.error_code();
    return false;
  }
  if (::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    error_code_ = errno;
    return false;
  }
  committed_ = true;
  cleanup_.reset();
  hold_.release();
  return true;
}

// ---- whole files and folders ----

bool read_file(const std::string& path, std::vector<uint8_t>& out, int* error_code) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error_code) *error_code = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    if (error_code) *error_code = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    return false;
  }
  // One byte more than the file holds, so that its end shows without
  // growing (and copying) a buffer that is already full.
  const size_t room = static_cast<size_t>(st.st_size) + 1;
  out.reserve(room);
  out.resize(room);
  size_t done = 0;
  for (;;) {
    if (done == out.size()) out.resize(out.size() + kBufferSize);  // the file grew
    const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (error_code) *error_code = errno;
      ::close(fd);
      out.clear();
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(done);
  ::close(fd);
  return true;
}

std::optional<uint64_t> file_size(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool file_exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool readable_once(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode);
}

bool folder_exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool folder_writable(const std::string& path) { return ::access(path.c_str(), W_OK | X_OK) == 0; }

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool rename_file(const std::string& from, const std::string& to, int* error_code) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  if (error_code) *error_code = errno;
  return false;
}

bool link_file(const std::string& from, const std::string& to, int* error_code) {
  if (::link(from.c_str(), to.c_str()) == 0) return true;
  if (error_code) *error_code = errno;
  return false;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of(kPathSeparator);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return std::string(1, kPathSeparator);
  return path.substr(0, slash);
}

std::vector<std::string> list_matching(const std::string& folder, std::string_view pattern) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (wildcard_match(pattern, name)) names.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());  // byte order: std::string compares as unsigned char
  return names;
}

}  // namespace lexbuild::platform
