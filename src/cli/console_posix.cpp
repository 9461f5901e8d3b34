// SPDX-License-Identifier: MIT
#include "console.h"

namespace tarvex::cli {

// POSIX streams never translate line ends.
void SetBinaryMode(std::FILE*) {}

// Arguments are the file system's own bytes already.
std::vector<std::string> ConsoleArguments(int argc, char** argv) {
    return {argv, argv + argc};
}

} // namespace tarvex::cli
