// SPDX-License-Identifier: MIT
#include "console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

namespace tarvex::cli {

// The C runtime opens stdin and stdout in text mode, which would turn "\n" into "\r\n" and stop
// reading at a Ctrl-Z byte.
void SetBinaryMode(std::FILE* stream) {
    _setmode(_fileno(stream), _O_BINARY);
}

// Windows hands main its arguments in the ANSI code page, which cannot name every file. The wide
// command line can; it is passed on as UTF-8, the form the core takes paths in on Windows, and
// messages, which carry such paths, go to the console as UTF-8 too.
std::vector<std::string> ConsoleArguments(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {argv, argv + argc};
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), size, nullptr, nullptr);
        argument.resize(argument.size() - 1);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace tarvex::cli
