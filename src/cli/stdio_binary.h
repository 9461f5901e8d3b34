// SPDX-License-Identifier: MIT
// Standard streams in binary mode, so that netlists pass through stdin and stdout untranslated.
#pragma once

#include <cstdio>

namespace tarvex::cli {

// Switches an open standard stream to binary mode; call it before the stream is used.
void SetBinaryMode(std::FILE* stream);

} // namespace tarvex::cli
