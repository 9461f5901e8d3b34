// SPDX-License-Identifier: MIT
// The XML reader behind XmlProblem tells a well-formed document from the faults a bin map could
// have, so that the bin map tests that lean on it can fail.
#include "support/xml_check.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex::test {
namespace {

TEST(XmlCheck, WellFormedDocumentsPass) {
    for (const std::string document :
         {"<svg/>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg a=\"1 &amp; 2\"><t>x &lt; y</t></svg>",
          "<svg><title>\xC3\xA4 &#x3A9;</title></svg>"}) {
        EXPECT_EQ(XmlProblem(document), "") << document;
    }
}

TEST(XmlCheck, FaultsInTheStructureAreFound) {
    for (const std::string document : {
             "",                   // no root
             "<svg>",              // not closed
             "<svg><g></svg></g>", // closed out of order
             "<svg a=1/>",         // value not quoted
             "<svg>a < b</svg>",   // a bare less-than
             "<svg/><svg/>",       // two roots
         }) {
        EXPECT_NE(XmlProblem(document), "") << testing::PrintToString(document);
    }
}

TEST(XmlCheck, FaultsInTheTextAreFound) {
    if (!XmlProblemChecksText()) {
        GTEST_SKIP() << "this build's XML reader (XmlLite) does not check the text between the tags";
    }
    for (const std::string document : {
             "<svg>R&D</svg>",  // a bare ampersand
             "<svg>\xFF</svg>", // not UTF-8
             "<svg>\x01</svg>", // a character XML does not allow
         }) {
        EXPECT_NE(XmlProblem(document), "") << testing::PrintToString(document);
    }
}

} // namespace
} // namespace tarvex::test
