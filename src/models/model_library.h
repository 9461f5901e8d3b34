// SPDX-License-Identifier: MIT
// Model libraries as simulators read them: the MOSFET ".model" cards with their geometry bounds,
// where each was found (file, line, ".lib" section, subcircuit), and what would change their
// meaning (".option scale").
#pragma once

#include "bins/spice_number.h"
#include "text/result.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

enum class ModelType { Nmos, Pmos };

// The name of a type as libraries write it: "nmos", "pmos".
std::string_view TypeName(ModelType type);

// One of lmin, lmax, wmin, wmax: its number, or the text it was written as when that is an
// expression the reader does not evaluate ("{l_min*2}", an unknown parameter).
struct ModelBound {
    std::optional<double> value;
    std::string text;
};

struct ModelCard {
    std::string name; // as written
    ModelType type = ModelType::Nmos;
    std::optional<ModelBound> lmin, lmax, wmin, wmax;
    std::filesystem::path file;
    int line = 0;           // the line of ".model"
    std::string section;    // the ".lib" section it was read in, empty outside any
    std::string subcircuit; // the innermost ".subckt" holding it, empty at the top level

    // All four bounds are given as numbers.
    bool binned() const;
};

// Where the reader met something a caller must be told about: an ".option scale", or an include
// that could not be read.
struct LibraryNote {
    std::filesystem::path file;
    int line = 0;
    std::string text;
};

struct ModelLibrary {
    std::vector<ModelCard> cards; // in the order read
    std::vector<LibraryNote> scaleOptions;
    std::vector<LibraryNote> errors; // files that could not be read
    // Every file whose text was read, each once, in the order first entered: the files given and
    // every file included or entered for a ".lib" section. A tool that writes a file checks it
    // against these, so that it never replaces a file the library needs.
    std::vector<std::filesystem::path> filesRead;
};

// Where the reader gets the text of a file it is given or told to include: its bytes, or a failure
// that gives the reason ("No such file or directory").
using LibraryFileSource = std::function<Result<std::string>(const std::filesystem::path&)>;

// The file system's source: a regular file read whole. A pipe or a device is refused, since reading
// one may never end (an include of "/dev/zero").
Result<std::string> ReadLibraryFile(const std::filesystem::path& path);

// Reads the given files, following ".include"/".inc" and ".lib 'file' NAME" relative to the file
// that names them; a file or section already being read is not entered again, so a library that
// includes itself does not loop. Cards in ".lib NAME" sections are read only when sections is
// empty or names the section (compared without regard to case); cards outside every section are
// always read. Plain numeric ".param" values are substituted in bounds. Files come from source; each
// one read is listed in filesRead.
ModelLibrary ReadModelLibrary(const std::vector<std::filesystem::path>& files,
                              const std::vector<std::string>& sections = {},
                              const LibraryFileSource& source = ReadLibraryFile);

// The same from text, as if read from a file at path (includes are looked for beside it).
ModelLibrary ReadModelLibraryText(std::string_view text, const std::filesystem::path& path,
                                  const std::vector<std::string>& sections = {},
                                  const LibraryFileSource& source = ReadLibraryFile);

// The name in lower case, the form in which SPICE compares names.
std::string LowerName(std::string_view name);

// Compares two names as SPICE does, without regard to ASCII letter case.
bool SameName(std::string_view a, std::string_view b);

} // namespace tarvex
