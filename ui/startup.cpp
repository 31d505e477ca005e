// POSIX hands over the console and the arguments as they should be.
#include "ui/startup.h"

namespace brevix {

void TakePlatformStart(int&, char**&) {}

} // namespace brevix
