#include "intake/intake.h"

#include "compiler/compile.h"
#include "intake/chain.h"
#include "intake/current_list.h"

namespace lexbuild {

// The CSV chain is not built yet.
int csv_intake(BuildContext&) { return 0; }

int tab_intake(BuildContext& context) {
  CurrentList list(context.settings);
  context.console.print("%s\n", "Analyzing...");
  prepare_tab_list(context, list);
  compile_dictionary(context);
  list.remove();
  return 0;
}

}  // namespace lexbuild
