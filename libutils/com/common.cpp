// The library's error hook.
#include "libutils/com/common.h"

namespace libutils {

void error() {}

}  // namespace libutils
