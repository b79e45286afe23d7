#include "xml/XMLParser.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace volumira {
namespace {

// Writes every event as one line; adjacent text pieces are merged, since expat may split a run anywhere.
class RecordingHandler : public XMLElementHandler {
  public:
    void startElement(const char* name, const char** attributes) override {
        std::string event = std::string("start ") + name;
        for (const char** a = attributes; *a; a += 2)
            event += std::string(" ") + a[0] + "=" + a[1];
        events.push_back(event);
    }
    void endElement(const char* name) override { events.push_back(std::string("end ") + name); }
    void characterData(const char* text, std::size_t length) override {
        if (events.empty() || events.back().rfind("text ", 0) != 0) events.push_back("text ");
        events.back().append(text, length);
    }
    std::vector<std::string> events;
};

using Events = std::vector<std::string>;

// A SOAP-like response with prefixes, attributes, entities, CDATA, a comment and 2-, 3- and 4-byte UTF-8.
const std::string kDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<soap:Body><ns1:result id=\"7\" unit='\xC2\xB5m' note=\"a &amp; b &lt; c\">"
    "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\xA7\xA0 &#x41;<!-- skipped --><![CDATA[<raw>]]>"
    "<empty/></ns1:result></soap:Body></soap:Envelope>";

const Events kExpected = {
    "start soap:Envelope xmlns:soap=http://schemas.xmlsoap.org/soap/envelope/",
    "start soap:Body",
    "start ns1:result id=7 unit=\xC2\xB5m note=a & b < c",
    "text Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\xA7\xA0 A<raw>",
    "start empty",
    "end empty",
    "end ns1:result",
    "end soap:Body",
    "end soap:Envelope",
};

Events parseWhole(const std::string& document, bool* ok = nullptr) {
    RecordingHandler handler;
    XMLParser parser(&handler);
    bool accepted = parser.parse(document.data(), document.size(), true);
    if (ok) *ok = accepted;
    return handler.events;
}

TEST(XMLParser, WholeDocumentGivesElementsAttributesAndText) {
    bool ok = false;
    EXPECT_EQ(parseWhole(kDocument, &ok), kExpected);
    EXPECT_TRUE(ok);
}

TEST(XMLParser, SplitAtEveryByteGivesTheSameEvents) {
    for (std::size_t split = 0; split <= kDocument.size(); ++split) {
        RecordingHandler handler;
        XMLParser parser(&handler);
        ASSERT_TRUE(parser.parse(kDocument.data(), split, false)) << "split at " << split;
        ASSERT_TRUE(parser.parse(kDocument.data() + split, kDocument.size() - split, true))
            << "split at " << split;
        ASSERT_EQ(handler.events, kExpected) << "split at " << split;
    }
}

TEST(XMLParser, OneByteAtATimeThenEmptyFinalPiece) {
    RecordingHandler handler;
    XMLParser parser(&handler);
    for (char c : kDocument)
        ASSERT_TRUE(parser.parse(&c, 1, false));
    EXPECT_TRUE(parser.parse(nullptr, 0, true));
    EXPECT_EQ(handler.events, kExpected);
}

TEST(XMLParser, FinalPieceStartsANewDocumentAndEmptyFinalResets) {
    RecordingHandler handler;
    XMLParser parser(&handler);
    const std::string first = "<a>1</a>";
    const std::string second = "<b x=\"2\"/>";

    ASSERT_TRUE(parser.parse(first.data(), first.size(), true));
    ASSERT_TRUE(parser.parse(second.data(), second.size(), true));
    EXPECT_EQ(handler.events, (Events{"start a", "text 1", "end a", "start b x=2", "end b"}));

    // Half a document, then a reset: the next document is parsed on its own.
    handler.events.clear();
    ASSERT_TRUE(parser.parse(first.data(), 4, false));
    parser.parse(nullptr, 0, true);
    handler.events.clear();
    ASSERT_TRUE(parser.parse(second.data(), second.size(), true));
    EXPECT_EQ(handler.events, (Events{"start b x=2", "end b"}));

    // A malformed document does not spoil the next one either.
    const std::string broken = "<a></b>";
    EXPECT_FALSE(parser.parse(broken.data(), broken.size(), true));
    handler.events.clear();
    EXPECT_TRUE(parser.parse(second.data(), second.size(), true));
    EXPECT_EQ(handler.events, (Events{"start b x=2", "end b"}));
}

TEST(XMLParser, MalformedAndTruncatedDocumentsAreRejectedWithOrWithoutHandler) {
    const std::string cases[] = {
        "",                                        // no element at all
        "<a></b>",                                 // mismatched end tag
        "<a><b>text</b>",                          // truncated: root never closed
        "<a x=\"1",                                // truncated inside an attribute
        "<a/><b/>",                                // two roots
        "<a x=1/>",                                // unquoted attribute
        "<a x=\"1\" x=\"2\"/>",                    // duplicate attribute
        "<a>\xFF</a>",                             // invalid UTF-8
        "<a>\xC3</a>",                             // cut multi-byte character
        "<a>&undefined;</a>",                      // unknown entity
        "<a>\x01</a>",                             // control character
        "text only",                               // no markup
        kDocument.substr(0, kDocument.size() - 3), // cut inside the last tag
    };
    for (const std::string& document : cases) {
        RecordingHandler handler;
        XMLParser recording(&handler);
        EXPECT_FALSE(recording.parse(document.data(), document.size(), true)) << document;

        XMLParser silent(nullptr);
        EXPECT_FALSE(silent.parse(document.data(), document.size(), true)) << document;
    }
}

TEST(XMLParser, NullHandlerSwallowsEventsAndHandlerCanBeSetLater) {
    XMLParser parser;
    EXPECT_TRUE(parser.parse(kDocument.data(), kDocument.size(), true));

    RecordingHandler handler;
    std::size_t half = kDocument.size() / 2;
    ASSERT_TRUE(parser.parse(kDocument.data(), half, false));
    parser.setHandler(&handler);
    ASSERT_TRUE(parser.parse(kDocument.data() + half, kDocument.size() - half, true));
    EXPECT_FALSE(handler.events.empty());
    EXPECT_EQ(handler.events.back(), "end soap:Envelope");
}

TEST(XMLParser, NullDataWithALengthIsRejected) {
    XMLParser parser;
    EXPECT_FALSE(parser.parse(nullptr, 5, true));
    const std::string ok = "<a/>";
    EXPECT_TRUE(parser.parse(ok.data(), ok.size(), true));
}

// A reader may throw on content it cannot use; that must reach the caller, not unwind through expat.
TEST(XMLParser, HandlerExceptionPropagatesAndParserRecovers) {
    struct Throwing : RecordingHandler {
        void startElement(const char* name, const char** attributes) override {
            if (std::string(name) == "bad") throw std::runtime_error("bad element");
            RecordingHandler::startElement(name, attributes);
        }
    } handler;
    XMLParser parser(&handler);
    const std::string document = "<a><bad/><c/></a>";
    EXPECT_THROW(parser.parse(document.data(), document.size(), false), std::runtime_error);
    EXPECT_EQ(handler.events, Events{"start a"});

    handler.events.clear();
    const std::string next = "<c/>";
    EXPECT_TRUE(parser.parse(next.data(), next.size(), true));
    EXPECT_EQ(handler.events, (Events{"start c", "end c"}));
}

} // namespace
} // namespace volumira
