// SPDX-License-Identifier: MIT
// Whether a document is well-formed XML, read by the platform's XML reader: expat where it is
// installed, XmlLite (part of Windows, and of Wine) in the Windows build, which has no expat.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::test {

// Empty when text, read as UTF-8, is a well-formed XML document; otherwise the reader's reason
// and where it stopped.
std::string XmlProblem(std::string_view text);

// Whether XmlProblem also finds faults in the text between the tags: a bare '&', bytes that are
// not UTF-8, characters XML does not allow. expat does; XmlLite as Wine has it passes them, so in
// the Windows build only the structure is checked, and the text is checked by the native build.
bool XmlProblemChecksText();

} // namespace tarvex::test
