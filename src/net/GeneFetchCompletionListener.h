#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace volumira {

class GeneFetcher;

// Receives the results of a GeneFetcher on the UI thread.
class GeneFetchCompletionListener {
  public:
    virtual ~GeneFetchCompletionListener();
    // The whole grid file, valid during the call only. The fetcher is idle again.
    virtual void fetchComplete(GeneFetcher& fetcher, const std::uint8_t* data, std::size_t length) = 0;
    // The fetcher is idle again; cancel() it here to forget the download's name, value and listener, or start
    // the next fetch. The fetcher may be destroyed during the call.
    virtual void fetchFailed(GeneFetcher& fetcher, const std::string& message) = 0;
    // fraction runs from 0 to 1; it stays 0 while the server announced no length.
    virtual void fetchProgress(GeneFetcher& fetcher, float fraction) = 0;
};

} // namespace volumira
