#pragma once

namespace volumira {

class PagedGeneList;

// Told of every change of a paged gene list, on the user-interface thread.
class PagedGeneListListener {
  public:
    // Events and the value that comes with each.
    static constexpr int kResultStored = 0;     // a result was stored or re-announced: its index
    static constexpr int kCleared = 1;          // cleared for a new search: 0
    static constexpr int kStatusChanged = 2;    // a request started or was cancelled: the page, or 0
    static constexpr int kClearedForImport = 3; // cleared for a file import: 0
    static constexpr int kTotalKnown = 4;       // 0
    static constexpr int kPageChanged = 5;      // the new page
    static constexpr int kRequestComplete = 6;  // 0
    static constexpr int kRequestFailed = 7;    // 0

    virtual ~PagedGeneListListener();
    virtual void listChanged(int event, PagedGeneList& list, int value) = 0;
};

} // namespace volumira
