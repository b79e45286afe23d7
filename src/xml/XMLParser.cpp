#include "xml/XMLParser.h"

#include <algorithm>
#include <climits>
#include <expat.h>
#include <utility>

namespace volumira {

namespace {

// expat takes an int length; larger pieces are fed in parts.
constexpr std::size_t kMaxPiece = std::size_t{1} << 30;
static_assert(kMaxPiece <= static_cast<std::size_t>(INT_MAX));

} // namespace

XMLElementHandler::~XMLElementHandler() = default;

XMLParser::XMLParser(XMLElementHandler* handler) : handler_(handler) {}

XMLParser::~XMLParser() {
    freeParser();
}

void XMLParser::setHandler(XMLElementHandler* handler) {
    handler_ = handler;
}

bool XMLParser::parse(const char* data, std::size_t length, bool isFinal) {
    if (!data && length > 0) {
        if (isFinal) freeParser();
        return false;
    }
    if (!parser_) {
        // No namespace processing, so names keep their prefixes ("soap:Body").
        parser_ = XML_ParserCreate(nullptr);
        if (!parser_) return false;
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &XMLParser::onStartElement, &XMLParser::onEndElement);
        XML_SetCharacterDataHandler(parser_, &XMLParser::onCharacterData);
    }

    bool accepted = true;
    do {
        std::size_t piece = std::min(length, kMaxPiece);
        bool last = piece == length;
        accepted = XML_Parse(parser_, data, static_cast<int>(piece),
                             last && isFinal ? XML_TRUE : XML_FALSE) == XML_STATUS_OK;
        data = data ? data + piece : data;
        length -= piece;
    } while (accepted && length > 0);

    if (handlerError_) {
        // A parser stopped from a callback cannot go on with this document.
        freeParser();
        std::exception_ptr error = std::exchange(handlerError_, nullptr);
        std::rethrow_exception(error);
    }
    if (isFinal) freeParser();
    return accepted;
}

void XMLParser::freeParser() {
    if (parser_) XML_ParserFree(parser_);
    parser_ = nullptr;
}

// Exceptions must not unwind through expat's C frames: keep the first one, stop, rethrow in parse.
void XMLParser::stopAfterException() {
    handlerError_ = std::current_exception();
    XML_StopParser(parser_, XML_FALSE);
}

void XMLParser::onStartElement(void* self, const char* name, const char** attributes) {
    auto* parser = static_cast<XMLParser*>(self);
    if (!parser->handler_ || parser->handlerError_) return;
    try {
        parser->handler_->startElement(name, attributes);
    } catch (...) {
        parser->stopAfterException();
    }
}

void XMLParser::onEndElement(void* self, const char* name) {
    auto* parser = static_cast<XMLParser*>(self);
    if (!parser->handler_ || parser->handlerError_) return;
    try {
        parser->handler_->endElement(name);
    } catch (...) {
        parser->stopAfterException();
    }
}

void XMLParser::onCharacterData(void* self, const char* text, int length) {
    auto* parser = static_cast<XMLParser*>(self);
    if (!parser->handler_ || parser->handlerError_ || length <= 0) return;
    try {
        parser->handler_->characterData(text, static_cast<std::size_t>(length));
    } catch (...) {
        parser->stopAfterException();
    }
}

} // namespace volumira
