// SPDX-License-Identifier: MIT
#include "bins/engineering_value.h"
#include "describe.h"
#include "rewrite/line_rewriter.h"
#include "settings/settings_file.h"
#include "targets.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

namespace tarvex::fuzz {
namespace {

namespace fs = std::filesystem;

using FileBytes = std::array<unsigned char, kSettingsFileSize>;

std::string_view AsText(std::span<const unsigned char> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

FileBytes Serialise(const SettingsFile& settings) {
    FileBytes bytes{};
    WriteSettings(settings, bytes);
    return bytes;
}

Result<void> SameBytes(const char* what, std::string_view got, std::string_view expected) {
    if (got == expected) {
        return {};
    }
    return Fail(std::string(what) + ": " + std::to_string(got.size()) + " bytes differ from the expected " +
                std::to_string(expected.size()) + " at offset " +
                std::to_string(FirstDifference(got, expected)));
}

// A private folder for the real files of one check, removed with its contents afterwards.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "tarvex-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!m_path.empty()) {
            fs::remove_all(m_path, ignored);
        }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

bool WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writing back the name or Key a field already holds, as the form does after a Load, changes no
// byte of the file image.
Result<void> CheckUnchangedByRewriting(const SettingsFile& settings, const FileBytes& image) {
    SettingsFile copy = settings;
    for (BinTable* table : {&copy.tableN, &copy.tableP}) {
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                const std::string name(PartName(*table, w, l));
                if (name.size() > kNameCellSize || name.find('\0') != std::string::npos) {
                    return Fail("PartName of cell " + std::to_string(w) + "," + std::to_string(l) + " is " +
                                Quote(name));
                }
                if (name.size() <= kMaxPartNameLength) {
                    SetPartName(*table, w, l, name);
                }
            }
        }
    }
    for (KeyField* key : {&copy.keyN, &copy.keyP}) {
        const std::string text(KeyText(*key));
        if (text.size() > kKeyFieldSize || text.find('\0') != std::string::npos) {
            return Fail("KeyText is " + Quote(text));
        }
        if (text.size() <= kMaxKeyLength) {
            SetKeyText(*key, text);
        }
    }
    const FileBytes again = Serialise(copy);
    return SameBytes("writing back the names and Keys that were read", AsText(again), AsText(image));
}

// Bounds from a file may be anything (NaN, infinities, denormals): validation names the lower bound
// of a faulty pair as printf("%g") shows it, and lookups never fail.
Result<void> CheckBounds(const BinTable& table) {
    const Result<void> valid = ValidateBounds(table);
    const bool fault = !valid;
    if (fault) {
        const std::string& message = valid.error();
        const bool width = message.starts_with("Bad w value ");
        const Bounds& axis = width ? table.widthBounds : table.lengthBounds;
        bool named = false;
        for (const double bound : axis) {
            named = named || message == (width ? "Bad w value " : "Bad l value ") + FormatG(bound) + "!";
        }
        if (!named) {
            return Fail("validation message " + Quote(message) + " names no bound of its axis");
        }
    }
    // On an accepted table a size equal to a bound in use (other than the first) belongs to the bin
    // below it, and NaN (an "L=nan" device) belongs to no bin.
    for (const Bounds* axis : {&table.widthBounds, &table.lengthBounds}) {
        for (int i = 1; i < kBoundCount && !fault; ++i) {
            const double bound = (*axis)[static_cast<std::size_t>(i)];
            const std::optional<int> bin = FindBin(*axis, bound);
            if (bound != 0.0 && bin != i - 1) {
                return Fail("FindBin of bound " + std::to_string(i) + " (" + Describe(bound) + ") gave bin " +
                            (bin ? std::to_string(*bin) : std::string("none")));
            }
        }
        if (const std::optional<int> bin = FindBin(*axis, std::numeric_limits<double>::quiet_NaN())) {
            return Fail("FindBin placed NaN in bin " + std::to_string(*bin));
        }
    }
    return {};
}

Result<void> CheckFiles(std::string_view input, const FileBytes& expected) {
    const ScratchDir scratch;
    if (scratch.path().empty()) {
        return Fail("cannot create a scratch folder");
    }
    const fs::path file = scratch.path() / "settings.amd";
    if (!WriteFile(file, input)) {
        return Fail("cannot write the scratch settings file");
    }

    const Result<LoadedSettings> loaded = LoadSettings(file);
    if (!loaded || loaded->created || loaded->readOnly) {
        return Fail("LoadSettings of a readable, writable file failed: " +
                    (loaded ? std::string() : loaded.error()));
    }
    const FileBytes image = Serialise(loaded->settings);
    if (Result<void> checked = SameBytes("LoadSettings", AsText(image), AsText(expected)); !checked) {
        return checked;
    }
    if (const Result<void> saved = SaveSettings(file, loaded->settings); !saved) {
        return Fail("SaveSettings failed: " + saved.error());
    }
    // Save overwrites the first 1348 bytes in place: a longer file keeps its tail.
    std::string afterSave(AsText(expected));
    if (input.size() > kSettingsFileSize) {
        afterSave += input.substr(kSettingsFileSize);
    }
    if (Result<void> checked = SameBytes("the file after Load and Save", ReadFile(file), afterSave);
        !checked) {
        return checked;
    }
    const Result<LoadedSettings> reloaded = LoadSettings(file);
    if (!reloaded) {
        return Fail("LoadSettings after Save failed: " + reloaded.error());
    }
    if (Result<void> checked =
            SameBytes("Load after Save", AsText(Serialise(reloaded->settings)), AsText(expected));
        !checked) {
        return checked;
    }

    const fs::path fresh = scratch.path() / "fresh.amd";
    if (const Result<void> saved = SaveSettings(fresh, loaded->settings); !saved) {
        return Fail("SaveSettings to a new file failed: " + saved.error());
    }
    return SameBytes("a newly saved file", ReadFile(fresh), AsText(expected));
}

} // namespace

Result<void> CheckSettings(Bytes data) {
    if (data.size() > 4000) {
        return {};
    }
    FileBytes expected{};
    std::copy_n(data.begin(), std::min(data.size(), expected.size()), expected.begin());

    const SettingsFile settings = ReadSettings(data);
    const FileBytes image = Serialise(settings);
    if (Result<void> checked = SameBytes("ReadSettings then WriteSettings", AsText(image), AsText(expected));
        !checked) {
        return checked;
    }
    if (Result<void> checked = SameBytes("a second ReadSettings then WriteSettings",
                                         AsText(Serialise(ReadSettings(image))), AsText(image));
        !checked) {
        return checked;
    }
    if (Result<void> checked = CheckUnchangedByRewriting(settings, image); !checked) {
        return checked;
    }
    for (const BinTable* table : {&settings.tableN, &settings.tableP}) {
        if (Result<void> checked = CheckBounds(*table); !checked) {
            return checked;
        }
    }
    return CheckFiles({reinterpret_cast<const char*>(data.data()), data.size()}, expected);
}

} // namespace tarvex::fuzz
