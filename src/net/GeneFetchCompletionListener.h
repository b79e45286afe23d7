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
    // The fetcher still holds its transfer during the call: cancel() it here to forget the download's name,
    // value and listener. It is idle once the call returns either way.
    virtual void fetchFailed(GeneFetcher& fetcher, const std::string& message) = 0;
    // fraction runs from 0 to 1; it stays 0 while the server announced no length.
    virtual void fetchProgress(GeneFetcher& fetcher, float fraction) = 0;
};

} // namespace volumira
