#include "patcher/extras.h"

namespace lexbuild {

// The post-build extras are not built yet.
void apply_extras(const std::vector<std::string>&, const std::string&, BuildContext&) {}

}  // namespace lexbuild
