#pragma once

#include "search/PagedGeneList.h"

#include <utility>
#include <vector>

namespace volumira::test {

// Records the events of one list: (event, value) pairs in order.
class ListRecorder : public PagedGeneListListener {
  public:
    explicit ListRecorder(PagedGeneList& list) : list_(list) { list_.addListener(this); }
    ~ListRecorder() override { list_.removeListener(this); }

    void listChanged(int event, PagedGeneList&, int value) override { events.emplace_back(event, value); }

    int count(int event) const {
        int n = 0;
        for (const auto& e : events)
            n += e.first == event ? 1 : 0;
        return n;
    }

    std::vector<std::pair<int, int>> events;

  private:
    PagedGeneList& list_;
};

} // namespace volumira::test
