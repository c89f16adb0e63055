#include "base/environment.h"

#include <cstdlib>
#include <string_view>

namespace base {

bool switchOn(const char* value) {
  return value != nullptr && value[0] != '\0' && std::string_view(value) != "0";
}

bool environmentSwitch(const char* name) { return switchOn(std::getenv(name)); }

}  // namespace base
