// SPDX-License-Identifier: MIT
#include "model_files.h"

#include "models/bin_import.h"

namespace tarvex::cli {

void AddModelFiles(const ModelLibrary& library, const std::vector<std::filesystem::path>& given,
                   std::vector<RunFile>& files) {
    for (const std::filesystem::path& file : library.filesRead) {
        files.push_back({file, ReadFileRole(file, given)});
    }
}

} // namespace tarvex::cli
