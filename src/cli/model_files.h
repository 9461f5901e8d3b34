// SPDX-License-Identifier: MIT
// The files a model library was read from, as files of the run that no output may overwrite.
#pragma once

#include "cli_common.h"

#include "models/model_library.h"

#include <filesystem>
#include <vector>

namespace tarvex::cli {

// Adds every file of library.filesRead to files: the libraries given ("model library") and every
// file they included or entered for a section ("included model file").
void AddModelFiles(const ModelLibrary& library, const std::vector<std::filesystem::path>& given,
                   std::vector<RunFile>& files);

} // namespace tarvex::cli
