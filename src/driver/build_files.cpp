#include "driver/build_files.h"

#include <string_view>
#include <vector>

namespace lexbuild {
namespace {

// Journal lines: a kind, a space, the path. A path the build makes ('+'),
// written before the file exists, a side file of the build's whatever is
// there ('*'), a path the build deleted or could not make ('-'), written
// before it deletes it: a journal may name a file that is gone, never miss
// one of the build's, nor one that was deleted and made anew by another.
constexpr char kCreated = '+';
constexpr char kClaimed = '*';
constexpr char kRemoved = '-';

// Deletes every file of the work folder that `test` accepts.
void sweep(const Settings& settings, Log& log, WorkFileTest test) {
  for (const std::string& name : platform::list_matching(settings.work_folder, "*")) {
    if (!test(name.c_str())) continue;
    if (platform::remove_file(settings.work_path(name))) {
      log.write_log("Removal of %s file left by an earlier run\n", name.c_str());
    }
  }
}

}  // namespace

BuildFiles::~BuildFiles() {
  if (finished_) return;
  if (settings_ && settings_->debug) return;  // kept for the user, until the next build
  while (!files_.empty()) {
    const std::string path = files_.begin()->first;  // remove() drops the entry
    remove(path);
  }
  if (settings_ && work_files_) {
    Log no_log;
    sweep(*settings_, no_log, work_files_);
  }
  journal_.close();
  if (!journal_path_.empty()) platform::remove_file(journal_path_);
}

void BuildFiles::start(const Settings& settings, WorkFileTest work_files,
                       WorkFileTest scratch_files) {
  settings_ = &settings;
  work_files_ = work_files;
  journal_path_ = settings.work_path(kBuildFilesJournal);
  // The name is the build's by the folder's lock, so it is registered before
  // it exists. It goes after the files it names: a kill that cuts the signal's
  // cleanup short leaves it for the next build.
  journal_on_signal_.emplace(journal_path_, std::string(),
                             platform::InterruptCleanup::Order::kLast);
  // Without a journal (a full work folder) the build goes on: only a kill
  // would then leave its stage files.
  if (!journal_.create(journal_path_)) journal_on_signal_.reset();
  sweep_.emplace(settings.work_folder, settings.debug ? scratch_files : work_files);
}

void BuildFiles::journal(char kind, const std::string& path) {
  if (!journal_.is_open() || path.find('\n') != std::string::npos) return;
  journal_.put(static_cast<uint8_t>(kind));
  journal_.put(' ');
  journal_.write(path);
  journal_.put('\n');
  journal_.flush();  // on its way to the disk before the file is touched
}

void BuildFiles::track(const std::string& path) {
  auto& tracked = files_[path];
  if (!tracked) tracked = std::make_unique<Tracked>();
  if (!tracked->on_signal) tracked->on_signal.emplace(path);
}

bool BuildFiles::create_new(platform::OutputFile& file, const std::string& path,
                            platform::FileMode mode) {
  journal(kCreated, path);
  const platform::DeferredInterrupts deferred;  // made and registered as one step
  if (!file.create_new(path, mode)) {
    journal(kRemoved, path);  // another's, or none: never this build's
    return false;
  }
  track(path);
  files_[path]->hold.hold(path);
  return true;
}

void BuildFiles::renewed(const std::string& path) {
  const auto it = files_.find(path);
  if (it != files_.end()) it->second->hold.hold(path);
}

void BuildFiles::claim(const std::string& path) {
  journal(kClaimed, path);
  track(path);
}

bool BuildFiles::remove(const std::string& path) {
  // Deleted and withdrawn as one step: a signal in between would leave the
  // file, or delete one that another build made under the freed name.
  const platform::DeferredInterrupts deferred;
  const auto it = files_.find(path);
  if (it != files_.end()) {
    journal(kRemoved, path);
    files_.erase(it);  // drops the signal's registration and the hold
  }
  return platform::remove_file(path);
}

void BuildFiles::finish() {
  finished_ = true;
  files_.clear();
  sweep_.reset();
  journal_on_signal_.reset();
  journal_.close();
  if (!journal_path_.empty()) platform::remove_file(journal_path_);
}

void clear_leftovers(const Settings& settings, Log& log, WorkFileTest work_files) {
  const std::string journal_path = settings.work_path(kBuildFilesJournal);
  std::vector<uint8_t> bytes;
  if (platform::read_file(journal_path, bytes)) {
    // The paths the journal leaves live, each with how it was made.
    std::map<std::string, char> live;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find('\n', at);
      if (end == std::string_view::npos) break;  // a line the kill cut short
      const std::string_view line = text.substr(at, end - at);
      at = end + 1;
      if (line.size() < 3 || line[1] != ' ') continue;
      const std::string path(line.substr(2));
      if (line[0] == kRemoved) {
        live.erase(path);
      } else if (line[0] == kCreated || line[0] == kClaimed) {
        live[path] = line[0];
      }
    }
    for (const auto& [path, kind] : live) {
      // A stage file goes only when no running build holds it (another
      // build may have made that name anew after the user deleted it),
      // and with it the temporary file of a sort that the kill cut short.
      const bool removed =
          kind == kClaimed ? platform::remove_file(path) : platform::remove_unheld(path);
      if (kind == kCreated) platform::remove_abandoned_siblings(path, {"tmp"});
      if (removed) log.write_log("Removal of %s file left by an earlier run\n", path.c_str());
    }
    platform::remove_file(journal_path);
  }
  sweep(settings, log, work_files);
}

}  // namespace lexbuild
