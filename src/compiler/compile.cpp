#include "compiler/compile.h"

namespace lexbuild {

// The compiler is not built yet.
void compile_dictionary(BuildContext&) {}

}  // namespace lexbuild
