#pragma once

#include "net/NetEventListener.h"

#include <string>

namespace volumira {

// The handle of one transfer. It stays valid until the listener call of the final report returns (cancelling
// from inside that call is allowed) or until cancel(); after that the transfer deletes itself and the handle
// must be dropped.
class NetFile {
  public:
    // UI thread only. After it returns the listener receives no further report, not even one already on its
    // way, and the handle must not be used again. A waiting transfer is deleted at once; a running one frees
    // its place in the queue at once and is deleted by its thread.
    virtual void cancel() = 0;

  protected:
    // Callers never delete a handle.
    virtual ~NetFile();
};

// Starts a GET of url (UTF-8) through the network queue; reports go to listener on the UI thread. With
// keepData the body is collected and handed over whole at completion, otherwise each chunk is passed on.
// Throws std::runtime_error "Could not connect to server." when the transfer cannot be created; every other
// failure arrives as transferFailed.
NetFile* openUrl(const std::string& url, NetEventListener* listener, bool keepData);

// The same with a request body: a non-empty body makes the transfer a SOAP POST.
NetFile* postUrl(const std::string& url, const std::string& body, NetEventListener* listener, bool keepData);

} // namespace volumira
