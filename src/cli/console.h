// SPDX-License-Identifier: MIT
// The console as the platform gives it: standard streams in binary mode, so that netlists pass
// through stdin and stdout untranslated, and the arguments as UTF-8.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tarvex::cli {

// Switches an open standard stream to binary mode; call it before the stream is used.
void SetBinaryMode(std::FILE* stream);

// The program's arguments (its own name first) in the form the core takes paths in, and messages
// set up to reach the console in that form.
std::vector<std::string> ConsoleArguments(int argc, char** argv);

} // namespace tarvex::cli
