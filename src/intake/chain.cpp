#include "intake/chain.h"

#include "intake/locale_sort.h"
#include "intake/tab_splitter.h"
#include "intake/unicode_conversion.h"

namespace lexbuild {

SourceLocale select_source_locale(BuildContext& context) {
  SourceLocale locale = SourceLocale::select(context.settings.source_language);
  context.lower_case = locale.lower_case();
  return locale;
}

void convert_and_sort(BuildContext& context, CurrentList& list, const SourceLocale& locale) {
  if (context.settings.to_unicode != 0) dic_unicode(context, list, locale);
  context.console.print("%s\n", "Sorting...");
  sort_list(context, list.path(), locale);
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
