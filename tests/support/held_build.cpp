#include "support/held_build.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <stdexcept>
#include <thread>

namespace lexbuild::testing {

#ifdef _WIN32
// A file in a folder cannot be a pipe on Windows: the tests that hold a
// build skip there.
PipedSource::PipedSource(const std::string& path) {
  throw std::runtime_error("no named pipe can stand in a folder for " + path);
}
PipedSource::~PipedSource() = default;
bool PipedSource::feed(std::string_view) { return false; }
void PipedSource::close_writer() {}
#else
PipedSource::PipedSource(const std::string& path) {
  if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
  reader_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  writer_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
}

PipedSource::~PipedSource() {
  close_writer();
  if (reader_ >= 0) ::close(reader_);
}

#endif

bool wait_for_file(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!exists(path)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

#ifndef _WIN32
bool PipedSource::feed(std::string_view text) {
  if (::write(writer_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    int waiting = 0;
    if (::ioctl(reader_, FIONREAD, &waiting) != 0) return false;
    if (waiting == 0) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void PipedSource::close_writer() {
  if (writer_ >= 0) ::close(writer_);
  writer_ = -1;
}
#endif

HeldBuild::HeldBuild(const TempDir& dir, const std::vector<std::string>& args, RunOptions options)
    : source(dir.file("held.tab")), program([&] {
        std::vector<std::string> all = {"--infile=held.tab"};
        all.insert(all.end(), args.begin(), args.end());
        return start_lexbuild(dir, all, std::move(options));
      }()) {}

bool HeldBuild::release(std::string_view list) {
  if (!list.starts_with(kHeldStart)) throw std::logic_error("the list must start as held");
  const bool fed = source.feed(list.substr(kHeldStart.size()));
  source.close_writer();
  return fed;
}

}  // namespace lexbuild::testing
