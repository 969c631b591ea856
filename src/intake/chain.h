// Pieces the intake chains share: the locale selection and the stages that
// end every chain.
#pragma once

#include "driver/build_context.h"
#include "intake/current_list.h"
#include "intake/source_locale.h"

namespace lexbuild {

/// Selects the locale of settings.source_language for the rest of the build
/// and installs its one-byte lower-case mapping for the compiler.
SourceLocale select_source_locale(BuildContext& context);

/// The stages that end every chain: the Unicode conversion when
/// settings.to_unicode is not 0, then "Sorting..." and the sort. The current
/// list is then the intermediate list.
void convert_and_sort(BuildContext& context, CurrentList& list, const SourceLocale& locale);

/// The TAB chain up to the intermediate list (splitter, conversion, sort),
/// starting from the user's source; `list` then names the intermediate list.
void prepare_tab_list(BuildContext& context, CurrentList& list);

}  // namespace lexbuild
