// SPDX-License-Identifier: MIT
// The well-formedness check through expat, a validating-free XML reader that refuses every
// document XML 1.0 calls not well-formed.
#include "support/xml_check.h"

#include <expat.h>

#include <limits>
#include <memory>

namespace tarvex::test {

std::string XmlProblem(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return "document too large to check";
    }
    // UTF-8 whatever the document declares: the bin map is written in UTF-8.
    const std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate("UTF-8"),
                                                                         XML_ParserFree);
    if (!parser) {
        return "expat could not make a parser";
    }
    if (XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), XML_TRUE) == XML_STATUS_OK) {
        return {};
    }
    return std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
           std::to_string(XML_GetCurrentLineNumber(parser.get())) + ", column " +
           std::to_string(XML_GetCurrentColumnNumber(parser.get()));
}

bool XmlProblemChecksText() {
    return true;
}

} // namespace tarvex::test
