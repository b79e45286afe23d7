#include "xml/EscapeXml.h"

#include <gtest/gtest.h>
#include <string>

namespace volumira {
namespace {

TEST(EscapeXml, ReplacesTheFiveSpecialCharactersOnly) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""},
        {"plain text 123", "plain text 123"},
        {"a<b & \"c\"", "a&lt;b &amp; &quot;c&quot;"},
        {"'>'", "&apos;&gt;&apos;"},
        {"&amp;", "&amp;amp;"},
        {"\xC2\xB5m \xE2\x82\xAC \xF0\x9F\xA7\xA0", "\xC2\xB5m \xE2\x82\xAC \xF0\x9F\xA7\xA0"},
        {"\x80\xFF\xC3<", "\x80\xFF\xC3&lt;"},
        {std::string("nul\0inside", 10), std::string("nul\0inside", 10)},
        {"\t\r\n", "\t\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(escapeXml(c.in), c.out) << c.in;
}

TEST(EscapeXml, EveryByteValueMapsAsExpected) {
    for (int value = 0; value < 256; ++value) {
        char c = static_cast<char>(value);
        std::string expected(1, c);
        if (c == '"') expected = "&quot;";
        if (c == '&') expected = "&amp;";
        if (c == '\'') expected = "&apos;";
        if (c == '<') expected = "&lt;";
        if (c == '>') expected = "&gt;";
        EXPECT_EQ(escapeXml(std::string(1, c)), expected) << value;
    }
}

TEST(EscapeXml, AppendsToWhatIsAlreadyThere) {
    std::string out = "<name>";
    escapeXml("R&D", out);
    out += "</name>";
    EXPECT_EQ(out, "<name>R&amp;D</name>");
}

} // namespace
} // namespace volumira
