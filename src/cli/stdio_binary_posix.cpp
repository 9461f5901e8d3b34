// SPDX-License-Identifier: MIT
#include "stdio_binary.h"

namespace tarvex::cli {

// POSIX streams never translate line ends.
void SetBinaryMode(std::FILE*) {}

} // namespace tarvex::cli
