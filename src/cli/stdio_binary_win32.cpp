// SPDX-License-Identifier: MIT
#include "stdio_binary.h"

#include <fcntl.h>
#include <io.h>

namespace tarvex::cli {

// The C runtime opens stdin and stdout in text mode, which would turn "\n" into "\r\n" and stop
// reading at a Ctrl-Z byte.
void SetBinaryMode(std::FILE* stream) {
    _setmode(_fileno(stream), _O_BINARY);
}

} // namespace tarvex::cli
