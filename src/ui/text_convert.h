// SPDX-License-Identifier: MIT
// Conversions between Qt's text and the core's bytes and paths, in one place.
#pragma once

#include <QString>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvex::ui {

// A path typed or chosen in the window as the file system names it (the file-system encoding).
std::filesystem::path ToPath(const QString& text);
QString FromPath(const std::filesystem::path& path);

// A message from the core, in the file system's own bytes.
QString FromCoreMessage(std::string_view message);

// The bytes stored for a field's text (part names, Keys, bounds): the local 8-bit encoding, as the
// netlists that the Keys and names are matched against are written. Cut to at most maxBytes without
// splitting a character.
std::string ToFieldBytes(const QString& text, std::size_t maxBytes);
QString FromFieldBytes(std::string_view bytes);

} // namespace tarvex::ui
