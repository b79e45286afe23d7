#pragma once

#include <string>

namespace volumira {

class GeneQuery;

// Told how a gene query's request goes, on the user-interface thread. The query may be null for a search
// answered without the server.
class GeneQueryCompletionListener {
  public:
    virtual ~GeneQueryCompletionListener();
    // The server has answered; results are arriving.
    virtual void queryStarted(GeneQuery* query) = 0;
    virtual void queryComplete(GeneQuery* query) = 0;
    virtual void queryFailed(GeneQuery* query, const std::string& message) = 0;
};

} // namespace volumira
