#include "intake/intake.h"

#include "compiler/compile.h"
#include "intake/chain.h"
#include "intake/current_list.h"
#include "intake/source_checks.h"
#include "intake/tab_splitter.h"
#include "platform/file.h"

namespace lexbuild {

namespace {

// The directive files go whether or not the first line wrote them; files the
// user named are left alone. They go when the build fails as well: left in
// the work folder, they would become the about and abbreviations records of
// the next build, whatever dictionary that is.
class DirectiveFiles {
 public:
  DirectiveFiles(const Settings& settings, BuildFiles& files) : settings_(settings), files_(files) {
    if (!settings_.abbrfile_given) files_.claim(settings_.abbrfile);
    if (!settings_.aboutfile_given) files_.claim(settings_.aboutfile);
  }
  ~DirectiveFiles() { remove(); }
  DirectiveFiles(const DirectiveFiles&) = delete;
  DirectiveFiles& operator=(const DirectiveFiles&) = delete;

  void remove() {
    if (!settings_.abbrfile_given) files_.remove(settings_.abbrfile);
    if (!settings_.aboutfile_given) files_.remove(settings_.aboutfile);
  }

 private:
  const Settings& settings_;
  BuildFiles& files_;
};

}  // namespace

int csv_intake(BuildContext& context) {
  Settings& settings = context.settings;
  CurrentList list(settings, &context.files);
  context.console.print("%s\n", "Analyzing...");
  warn_about_source(context);
  const SourceLocale locale = select_source_locale(context);
  DirectiveFiles directive_files(settings, context.files);
  read_csv_source(context, list, locale);
  list.allow_holding(true);  // the sort comes next
  csv_cut_out(context, list, /*keep_copy=*/false);
  list.allow_holding(false);
  convert_and_sort(context, list, locale);
  compile_dictionary(context);
  directive_files.remove();
  list.remove();
  return 0;
}

int tab_intake(BuildContext& context) {
  CurrentList list(context.settings, &context.files);
  context.console.print("%s\n", "Analyzing...");
  warn_about_source(context);
  prepare_tab_list(context, list);
  compile_dictionary(context);
  list.remove();
  return 0;
}

}  // namespace lexbuild
