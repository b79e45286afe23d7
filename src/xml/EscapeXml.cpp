#include "xml/EscapeXml.h"

namespace volumira {

void escapeXml(std::string_view in, std::string& out) {
    out.reserve(out.size() + in.size());
    for (char c : in) {
        switch (c) {
        case '"':
            out += "&quot;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
            break;
        }
    }
}

std::string escapeXml(std::string_view in) {
    std::string out;
    escapeXml(in, out);
    return out;
}

} // namespace volumira
