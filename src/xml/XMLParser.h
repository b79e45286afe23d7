#pragma once

// A push parser over expat: pieces of one document go in, element and text events come out to a handler.

#include <cstddef>
#include <exception>

struct XML_ParserStruct;

namespace volumira {

// Receives the events of a document. Names and text are UTF-8; element names keep their namespace prefix.
class XMLElementHandler {
  public:
    virtual ~XMLElementHandler();
    // attributes: name and value alternating, ended by a null pointer.
    virtual void startElement(const char* name, const char** attributes) = 0;
    virtual void endElement(const char* name) = 0;
    // text is not NUL-terminated, and one run of text may arrive in several pieces.
    virtual void characterData(const char* text, std::size_t length) = 0;
};

class XMLParser {
  public:
    // The handler is not owned and may be null: the document is then only checked for well-formedness.
    explicit XMLParser(XMLElementHandler* handler = nullptr);
    virtual ~XMLParser();
    XMLParser(const XMLParser&) = delete;
    XMLParser& operator=(const XMLParser&) = delete;

    // Later events go to this handler.
    virtual void setHandler(XMLElementHandler* handler);

    // Feeds the next piece of the current document; true when it is well-formed so far (and, with isFinal,
    // complete). isFinal ends the document, so the next call starts a new one: parse(nullptr, 0, true)
    // discards a document in progress. After a false result the rest of that document is not parsed;
    // finish it with isFinal. An exception thrown by the handler stops the document and propagates.
    virtual bool parse(const char* data, std::size_t length, bool isFinal);

  private:
    static void onStartElement(void* self, const char* name, const char** attributes);
    static void onEndElement(void* self, const char* name);
    static void onCharacterData(void* self, const char* text, int length);
    void stopAfterException();
    void freeParser();

    XMLElementHandler* handler_;
    XML_ParserStruct* parser_ = nullptr;
    std::exception_ptr handlerError_;
};

} // namespace volumira
