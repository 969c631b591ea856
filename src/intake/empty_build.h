// A source that holds something and yet gives no entry is read with the
// wrong options: the build is refused, saying what was read and which
// option to change, instead of writing an empty dictionary.
#pragma once

#include "driver/build_context.h"
#include "intake/current_list.h"

namespace lexbuild {

/// Called when the intermediate list holds no entry. An empty source may
/// give an empty dictionary; any other ends with a fatal report naming the
/// source, what it looks like and the option that likely misreads it. The
/// current list goes first when it is a stage file.
void check_some_entry(const BuildContext& context, CurrentList& list);

}  // namespace lexbuild
