// JSON strings from 8-bit texts: valid UTF-8 kept byte for byte, every other
// byte U+FFFD, controls escaped.
#include "tools/text_output.h"

#include <gtest/gtest.h>

TEST(TextOutput, JsonStringsKeepValidUtf8AndReplaceEveryOtherByte) {
    struct Case {
        const char* name;
        std::string text;
        std::string json;  // without the surrounding quotes
    } cases[] = {
        {"two-byte letter", "T\xc3\xbcr", "T\xc3\xbcr"},
        {"four-byte sequence", "\xf0\x9f\x98\x80!", "\xf0\x9f\x98\x80!"},
        {"no-break space", "a\xc2\xa0z", "a\xc2\xa0z"},
        {"highest code point", "\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},
        {"lone Latin-1 byte", "caf\xe9", "caf\\ufffd"},
        {"stray continuation byte", "\x80x", "\\ufffdx"},
        {"overlong two-byte form", "\xc0\xaf", "\\ufffd\\ufffd"},
        {"overlong three-byte form", "\xe0\x80\xaf", "\\ufffd\\ufffd\\ufffd"},
        {"surrogate", "\xed\xa0\x80", "\\ufffd\\ufffd\\ufffd"},
        {"past U+10FFFF", "\xf4\x90\x80\x80", "\\ufffd\\ufffd\\ufffd\\ufffd"},
        {"five-byte lead", "\xf8\x88", "\\ufffd\\ufffd"},
        {"cut at the end", "\xe2\x82", "\\ufffd\\ufffd"},
        {"cut before ASCII", "\xe2\x82x\xe2\x82\xac", "\\ufffd\\ufffdx\xe2\x82\xac"},
        {"quotes and backslashes", "a\"b\\c", "a\\\"b\\\\c"},
        {"C0 controls and DEL", std::string("\x01\x1f\x7f\0n", 5), "\\u0001\\u001f\\u007f\\u0000n"},
        {"C1 control", "\xc2\x85", "\\u0085"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JsonString(c.text), "\"" + c.json + "\"");
    }
}

TEST(TextOutput, QuotedTextShowsEveryByteOutsidePrintableAscii) {
    EXPECT_EQ(QuotedText("T\xc3\xbcr \"x\"\\"), "\"T\\xc3\\xbcr \\\"x\\\"\\\\\"");
}
