#pragma once

// The gene search service: SOAP 1.1 requests for text and anatomic gene searches, the image series of
// a gene and the series most similar to one, answered a page at a time.

#include "volumira-server/Catalogue.h"
#include "volumira-server/GridFiles.h"
#include "volumira-server/Similarity.h"

#include <stdexcept>
#include <string>

namespace volumira::server {

inline constexpr const char* kServiceNamespace = "urn:volumira:GeneSearchService";
inline constexpr const char* kProjectCode = "0310";

// A request the service cannot answer; sent back as a SOAP fault.
class SoapFault : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class GeneSearch {
  public:
    GeneSearch(const Catalogue& catalogue, GridFiles& grids, const Similarity& similarity);

    // The response envelope for a request body. `serverUrl` (scheme and host) starts the file URLs of
    // the results. Throws SoapFault.
    std::string answer(const std::string& request, const std::string& serverUrl);

  private:
    const Catalogue& catalogue_;
    GridFiles& grids_;
    const Similarity& similarity_;
};

// The fault envelope for a message.
std::string soapFault(const std::string& message);

} // namespace volumira::server
