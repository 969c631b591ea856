#include "intake/chain.h"

#include "driver/report.h"
#include "intake/empty_build.h"
#include "intake/locale_sort.h"
#include "intake/tab_splitter.h"
#include "intake/unicode_conversion.h"

namespace lexbuild {

SourceLocale select_source_locale(BuildContext& context) {
  const Settings& settings = context.settings;
  const std::string& name = settings.source_language;
  SourceLocale locale = SourceLocale::select(name, settings.unicode != 0);
  context.lower_case = locale.lower_case();
  // A misspelt name would sort the list by the "C" rules without a word.
  if (locale.language() == SourceLocale::Language::kUnknown) {
    report_warning(context.console,
                   "the language '%s' is not known: the \"C\" rules sort the list; see "
                   "--help source_language for the names\n",
                   name.c_str());
  } else if (locale.language() == SourceLocale::Language::kWithoutCodePage &&
             settings.unicode == 0) {
    report_warning(context.console,
                   "%s has no 8-bit code page: the \"C\" rules and code page apply to this "
                   "8-bit list; give --unicode=1 with a UTF-16 list to sort it as %s\n",
                   name.c_str(), name.c_str());
  }
  return locale;
}

void convert_and_sort(BuildContext& context, CurrentList& list, const SourceLocale& locale) {
  if (context.settings.to_unicode != 0) dic_unicode(context, list, locale);
  context.console.print("%s\n", "Sorting...");
  if (sort_list(context, list.path(), locale) == 0) check_some_entry(context, list);
  // The sorted list is a new file under the same name.
  if (list.is_stage_file()) context.files.renewed(list.path());
}

void prepare_tab_list(BuildContext& context, CurrentList& list) {
  const SourceLocale locale = select_source_locale(context);
  // Without cutting and without conversion no stage would copy the source,
  // and the sort rewrites its list in place: the checked lines then go to a
  // stage file of their own, so that the user's source is only ever read.
  const Settings& settings = context.settings;
  const bool keep_copy = settings.cutlong == 0 && settings.to_unicode == 0;
  csv_cut_out(context, list, keep_copy);
  convert_and_sort(context, list, locale);
}

}  // namespace lexbuild
