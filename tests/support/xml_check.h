// SPDX-License-Identifier: MIT
// A small well-formedness check of XML documents, so that tests need no XML library.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::test {

// Empty when text is a well-formed XML document: valid UTF-8 of characters XML allows, one root
// element, every element closed in order, attribute values quoted, every '&' starting one of the
// five named entities or a character reference. Otherwise what is wrong and where.
std::string XmlProblem(std::string_view text);

} // namespace tarvex::test
