// SPDX-License-Identifier: MIT
// Whether a document is well-formed XML, read by the platform's XML reader: expat where it is
// installed, XmlLite (part of Windows, and of Wine) in the Windows build.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::test {

// Empty when text, read as UTF-8, is a well-formed XML document; otherwise the reader's reason
// and where it stopped.
std::string XmlProblem(std::string_view text);

} // namespace tarvex::test
