// The program's file layer: buffered reading and writing, text-mode
// translation, whole-file helpers and folder queries. Every file the program
// touches goes through here, so that the bytes are the same on every platform
// and every failure is seen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_lock.h"
#include "platform/interrupt_cleanup.h"

namespace lexbuild::platform {

/// Separator between a folder and a file name.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

/// `folder`, the separator and `name`.
std::string path_join(std::string_view folder, std::string_view name);

/// Human-readable text of a system error number ("No space left on device").
std::string error_text(int error_code);

/// Buffered reader of a file's bytes.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  /// Opens `path` for reading; false (with error_code()) when it cannot.
  bool open(const std::string& path);
  /// Reads the process's standard input (added with the source copy; the
  /// Win32 half reads the standard input handle).
  bool open_standard_input();
  bool is_open() const { return fd_ >= 0; }

  /// The next byte, or -1 at the end of the file or after a read error.
  int get() {
    if (pos_ == end_ && !refill()) return -1;
    return buffer_[pos_++];
  }
  /// The next byte without consuming it, or -1.
  int peek() {
    if (pos_ == end_ && !refill()) return -1;
    return buffer_[pos_];
  }
  /// Reads up to `size` bytes into `dst`; returns how many were read.
  size_t read(void* dst, size_t size);

  /// Whether a read failed (as opposed to the file simply ending).
  bool failed() const { return failed_; }
  int error_code() const { return error_code_; }
  void close();

 private:
  bool refill();
  /// Reads the file's next bytes into `dst` (at most `size`): how many, 0
  /// at the end or after a failure (the system halves).
  size_t read_into(uint8_t* dst, size_t size);

  int fd_ = -1;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool at_end_ = false;
  bool failed_ = false;
  int error_code_ = 0;
};

/// Reads a file as a text-mode stream does: a CR LF pair is read as one LF,
/// a lone CR is an ordinary byte, and the byte 0x1A ends the input.
class TextInput {
 public:
  explicit TextInput(InputFile& file) : file_(file) {}

  /// The next character, or -1 at the end of the input.
  int get() {
    if (ended_) return -1;
    int c = file_.get();
    if (c == 0x1A || c < 0) {
      ended_ = true;
      return -1;
    }
    if (c == '\r' && file_.peek() == '\n') c = file_.get();
    return c;
  }

 private:
  InputFile& file_;
  bool ended_ = false;
};

enum class FileMode {
  kBinary,  // bytes are written as they are
  kText,    // each LF is stored as CR LF
};

/// Buffered writer. Failures are remembered; close() reports them.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  /// Creates `path`, or truncates it when it exists.
  bool create(const std::string& path, FileMode mode = FileMode::kBinary);
  /// Creates `path` only when no file of that name exists yet; otherwise
  /// false with error_code() EEXIST. Two processes that pick the same name
  /// at the same moment thus never share the file.
  bool create_new(const std::string& path, FileMode mode = FileMode::kBinary);
  bool is_open() const { return fd_ >= 0; }

  void put(uint8_t byte) {
    if (mode_ == FileMode::kText && byte == '\n') put_raw('\r');
    put_raw(byte);
  }
  void write(const void* data, size_t size);
  void write(std::string_view text) { write(text.data(), text.size()); }
  void write(std::span<const uint8_t> bytes) { write(bytes.data(), bytes.size()); }

  /// Bytes handed to the file so far (after text translation).
  uint64_t bytes_written() const { return written_ + fill_; }

  /// Hands the buffered bytes to the operating system.
  void flush();
  /// Flushes and closes. False when any write, the flush or the close failed.
  bool close();
  bool failed() const { return failed_; }
  int error_code() const { return error_code_; }

 private:
  bool open_for_writing(const std::string& path, FileMode mode, int flags);
  void put_raw(uint8_t byte) {
    if (fill_ == buffer_.size()) flush();
    buffer_[fill_++] = byte;
  }

  int fd_ = -1;
  FileMode mode_ = FileMode::kBinary;
  std::vector<uint8_t> buffer_;
  size_t fill_ = 0;
  uint64_t written_ = 0;
  bool failed_ = false;
  int error_code_ = 0;
};

/// Writes a new version of a file under a temporary name beside it and
/// renames it over the old one on commit(), so that a failure never leaves
/// a half-written file and the previous version survives until the end.
/// A signal that ends the process meanwhile takes the temporary file along;
/// one that a killed process left is deleted by the next replacement of
/// the same file.
class ReplacingOutput {
 public:
  ReplacingOutput() = default;
  ~ReplacingOutput();  // removes the temporary file unless committed
  ReplacingOutput(const ReplacingOutput&) = delete;
  ReplacingOutput& operator=(const ReplacingOutput&) = delete;

  /// Creates the temporary file for `path`.
  bool create(const std::string& path);
  OutputFile& file() { return file_; }
  /// Closes the temporary file and renames it to the target path.
  bool commit();
  int error_code() const { return error_code_; }
  const std::string& temp_path() const { return temp_path_; }

 private:
  OutputFile file_;
  std::string path_;
  std::string temp_path_;
  bool committed_ = false;
  int error_code_ = 0;
  std::optional<InterruptCleanup> cleanup_;
  FileHold hold_;  // the temporary file is this process's own
};

/// Reads a whole file. False (with *error_code) when it cannot be opened or read.
bool read_file(const std::string& path, std::vector<uint8_t>& out, int* error_code = nullptr);

/// Creates or replaces `path` with `bytes`. False (with *error_code) on failure.
bool write_file(const std::string& path, std::span<const uint8_t> bytes, int* error_code = nullptr);

/// Size of the file at `path`, or nothing when it cannot be examined.
std::optional<uint64_t> file_size(const std::string& path);

bool file_exists(const std::string& path);
/// Whether what `path` names gives its bytes only once, so that a second
/// reader would miss what the first took: a pipe, a FIFO, a socket or a
/// character device (a terminal, /dev/stdin on a pipe). False for a regular
/// file and for a path that cannot be examined. (Added with the source copy;
/// the Win32 half asks GetFileType for anything but FILE_TYPE_DISK.)
bool readable_once(const std::string& path);
bool folder_exists(const std::string& path);
/// Whether a file may be created in `folder`.
bool folder_writable(const std::string& path);

/// Deletes a file; false when it could not (it may not exist).
bool remove_file(const std::string& path);

/// Renames `from` to `to`, replacing `to` if it exists.
bool rename_file(const std::string& from, const std::string& to, int* error_code = nullptr);

/// Gives the file at `from` the second name `to` (a hard link); false (with
/// *error_code) when `to` exists or the file system has no such links.
bool link_file(const std::string& from, const std::string& to, int* error_code = nullptr);

/// Whether `a` and `b` both exist and name the same file (through links,
/// "." and ".." or different spellings of a path).
bool same_file(const std::string& a, const std::string& b);

/// The folder part of `path`: "." for a bare file name, "/" for a file in the root.
std::string folder_of(const std::string& path);

/// Names (not paths) of the files in `folder` that match `pattern`, in which
/// '*' stands for any run of characters, in ascending byte order of the names.
std::vector<std::string> list_matching(const std::string& folder, std::string_view pattern);

/// Whether `name` matches `pattern` ('*' matches any run of characters).
bool wildcard_match(std::string_view pattern, std::string_view name);

}  // namespace lexbuild::platform
