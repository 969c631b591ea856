// The parts of the file layer that use no system call: they are built on
// the system halves (file_posix.cpp, file_win32.cpp), the same on both.
#include <algorithm>
#include <cstring>

#include "platform/file.h"

namespace lexbuild::platform {

std::string path_join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += kPathSeparator;
  path += name;
  return path;
}

bool InputFile::refill() {
  pos_ = 0;
  end_ = read_into(buffer_.data(), buffer_.size());
  return end_ > 0;
}

size_t InputFile::read(void* dst, size_t size) {
  auto* out = static_cast<uint8_t*>(dst);
  size_t done = 0;
  while (done < size) {
    if (pos_ == end_ && size - done >= buffer_.size()) {
      // A large read goes straight to its destination, not through the buffer.
      const size_t n = read_into(out + done, size - done);
      if (n == 0) break;
      done += n;
      continue;
    }
    if (pos_ == end_ && !refill()) break;
    const size_t take = std::min(size - done, end_ - pos_);
    std::memcpy(out + done, buffer_.data() + pos_, take);
    pos_ += take;
    done += take;
  }
  return done;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) close();
}

void OutputFile::write(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (mode_ == FileMode::kText) {
    for (size_t i = 0; i < size; ++i) put(bytes[i]);
    return;
  }
  while (size > 0) {
    if (fill_ == buffer_.size()) flush();
    const size_t take = std::min(size, buffer_.size() - fill_);
    std::memcpy(buffer_.data() + fill_, bytes, take);
    fill_ += take;
    bytes += take;
    size -= take;
  }
}

bool write_file(const std::string& path, std::span<const uint8_t> bytes, int* error_code) {
  OutputFile file;
  if (!file.create(path)) {
    if (error_code) *error_code = file.error_code();
    return false;
  }
  file.write(bytes);
  if (!file.close()) {
    if (error_code) *error_code = file.error_code();
    return false;
  }
  return true;
}

bool wildcard_match(std::string_view pattern, std::string_view name) {
  // Greedy match with backtracking to the last '*'.
  size_t p = 0;  // in the pattern
  size_t n = 0;  // in the name
  size_t star = std::string_view::npos;
  size_t mark = 0;  // where the name stood when the last '*' was met
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace lexbuild::platform
