#include "intake/intake.h"

#include "compiler/compile.h"
#include "intake/chain.h"
#include "intake/csv_reader.h"
#include "intake/current_list.h"
#include "intake/tab_splitter.h"
#include "platform/file.h"

namespace lexbuild {

int csv_intake(BuildContext& context) {
  Settings& settings = context.settings;
  CurrentList list(settings);
  context.console.print("%s\n", "Analyzing...");
  const SourceLocale locale = select_source_locale(context);
  list.replace(csv_out(context));
  csv_cut_out(context, list, /*keep_copy=*/false);
  convert_and_sort(context, list, locale);
  compile_dictionary(context);
  // The directive files go whether or not the first line wrote them; files
  // the user named are left alone.
  if (!settings.abbrfile_given) platform::remove_file(settings.abbrfile);
  if (!settings.aboutfile_given) platform::remove_file(settings.aboutfile);
  list.remove();
  return 0;
}

int tab_intake(BuildContext& context) {
  CurrentList list(context.settings);
  context.console.print("%s\n", "Analyzing...");
  prepare_tab_list(context, list);
  compile_dictionary(context);
  list.remove();
  return 0;
}

}  // namespace lexbuild
