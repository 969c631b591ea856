#include "main/output_guard.h"

#include <cerrno>
#include <cstdint>

#include "driver/report.h"
#include "patcher/extras.h"
#include "patcher/extras_options.h"
#include "platform/env.h"
#include "platform/file.h"
#include "platform/file_access.h"

namespace lexbuild {
namespace {

// The files a build reads, with the option that names each.
std::vector<std::pair<std::string, std::string>> build_inputs(
    const Settings& settings, const std::vector<std::string>& args) {
  std::vector<std::pair<std::string, std::string>> inputs = {
      {settings.infile, "--infile="},       {settings.abbrfile, "--abbrfile="},
      {settings.aboutfile, "--aboutfile="}, {settings.fontfile, "--fontfile="},
      {settings.kbdfile, "--kbdfile="},
  };
  const ExtrasOptions extras = read_extras_options(args);
  if (extras.text_font) inputs.emplace_back(extras.text_font->path, "--font_textHR=");
  if (extras.list_font) inputs.emplace_back(extras.list_font->path, "--font_listHR=");
  return inputs;
}

void check_writable(const Settings& settings, const std::vector<std::string>& args) {
  const std::string& path = settings.outfile;
  const std::string folder = platform::folder_of(path);
  if (!platform::folder_exists(folder)) {
    report_fatal(
        "the folder %s for the database %s does not exist; create it or choose another "
        "--outfile=\n",
        folder.c_str(), path.c_str());
  }
  if (!platform::folder_writable(folder)) {
    report_fatal(
        "cannot write the database %s: the folder %s is not writable; make it writable "
        "or choose another --outfile=\n",
        path.c_str(), folder.c_str());
  }
  if (!platform::file_exists(path)) return;
  if (platform::folder_exists(path)) {
    report_fatal(
        "cannot write the database %s: a folder has that name; choose another "
        "--outfile=\n",
        path.c_str());
  }
  for (const auto& [input, option] : build_inputs(settings, args)) {
    if (platform::same_file(path, input)) {
      report_fatal(
          "cannot write the database %s: it is the file that %s names (%s), an input "
          "of the build; choose another --outfile=\n",
          path.c_str(), option.c_str(), input.c_str());
    }
  }
  // A database its owner made read-only is left alone, with the message the
  // post-build pass gives for a database it cannot update.
  if (!platform::file_updatable(path)) report_fatal_plain(kDatabaseOpenFailure);
}

// A second name for the earlier database beside it, hidden like the
// temporary files that replace it.
std::string kept_name(const std::string& path) {
  const std::string folder = platform::folder_of(path);
  const size_t slash = path.find_last_of(platform::kPathSeparator);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return platform::path_join(folder, "." + name + ".keep" + std::to_string(platform::process_id()));
}

}  // namespace

OutputGuard::OutputGuard(const Settings& settings, const std::vector<std::string>& args)
    : path_(settings.outfile) {
  check_writable(settings, args);
  // What killed builds of this output left beside it.
  platform::remove_abandoned_siblings(path_, {"keep", "tmp"});
  existed_ = platform::file_exists(path_);
  if (!existed_) {
    on_signal_.emplace(path_);
    return;
  }

  const std::string kept = kept_name(path_);
  platform::remove_file(kept);  // left by a killed run of the same process id
  // The name carries this process's id: until the copy is whole, a signal
  // deletes it.
  on_signal_.emplace(kept);
  int error = 0;
  if (!platform::link_file(path_, kept, &error)) {
    // A file system without links: a copy serves.
    std::vector<uint8_t> bytes;
    if (!platform::read_file(path_, bytes, &error) || !platform::write_file(kept, bytes, &error)) {
      platform::remove_file(kept);
      report_fatal(
          "cannot keep a copy of the database %s while it is rebuilt (%s): %s; make room "
          "in its folder or choose another --outfile=\n",
          path_.c_str(), kept.c_str(), platform::error_text(error).c_str());
    }
  }
  kept_ = kept;
  hold_.hold(kept_);
  // From then on a signal puts it back; never is it without either.
  const platform::DeferredInterrupts deferred;
  on_signal_.reset();
  on_signal_.emplace(kept_, path_);
}

OutputGuard::~OutputGuard() {
  if (committed_) return;
  if (!kept_.empty()) {
    // Renaming one name of a file over another name of the same file changes
    // nothing, so the kept name is removed afterwards in any case.
    if (platform::rename_file(kept_, path_)) platform::remove_file(kept_);
  } else if (!existed_) {
    platform::remove_file(path_);
  }
}

void OutputGuard::commit() {
  // The kept database goes before the signal's registration: a signal in
  // between finds nothing to put back, and leaves nothing.
  hold_.release();
  if (!kept_.empty()) platform::remove_file(kept_);
  on_signal_.reset();
  committed_ = true;
}

}  // namespace lexbuild
