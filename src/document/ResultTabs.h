#pragma once

#include <functional>
#include <memory>

namespace volumira {

class GLInteractiveRenderer;
class PagedGeneList;
class TabControlRenderer;

// What a result tab holds: search results (0) or follow-up results (1: the image series of one gene, the
// searches started from a result).
enum class TabKind { Results = 0, FollowUp = 1 };

// The user data of one result tab: its list and the page that shows it. The page goes before the list
// it listens to.
struct BrainDocTab {
    static constexpr const char* kDomain = "0310";
    static constexpr int kPageSize = 10;

    std::unique_ptr<PagedGeneList> list;
    std::unique_ptr<GLInteractiveRenderer> page;
    TabKind kind = TabKind::Results;

    ~BrainDocTab();
};

// The result tabs of the view's tab strip: making them, finding the one a search goes to, titles, and
// the tab remembered for each kind, corrected when it closes. Index 0 is the "Detail View" tab, which
// carries no BrainDocTab.
class ResultTabs {
  public:
    // Makes the page of a new tab's list.
    using PageFactory = std::function<std::unique_ptr<GLInteractiveRenderer>(PagedGeneList& list)>;

    // Makes a new tab's list; by default a list of the domain and page size above.
    using ListFactory = std::function<std::unique_ptr<PagedGeneList>()>;

    // The strip must outlive this object or be destroyed first (it closes its tabs through tabClosed).
    ResultTabs(TabControlRenderer& strip, PageFactory pages, ListFactory lists = {});
    ~ResultTabs();

    // A new tab "Untitled" at the end, selected when asked; it becomes nobody's remembered tab.
    BrainDocTab& newTab(bool select, TabKind kind);
    // Selects the tab a search of this kind goes to: the selected one when it is of the kind, else the
    // remembered one while it is still in the strip, else a new one (remembered from then on).
    void showTabOfKind(TabKind kind);
    // The selected tab's list; null for the "Detail View" tab.
    PagedGeneList* currentList() const;
    // The selected tab's title becomes its list's.
    void updateTabTitle();
    // The nearest tab of the kind to index start, forward or back; a tie goes back; -1 for none.
    int nearestTabOfKind(int start, TabKind kind) const;
    BrainDocTab* tabAt(int index) const;
    BrainDocTab* remembered(TabKind kind) const { return remembered_[static_cast<int>(kind)]; }
    // Ctrl+Tab and Ctrl+Shift+Tab: the next or previous tab, wrapping; nothing with a single tab.
    void selectNext();
    void selectPrevious();
    // Close Tab: removes the selected result tab.
    void closeSelected();

    // The strip's reports, forwarded by its listener.
    void tabDeselected(int index, void* data);
    // Deletes the tab and corrects the remembered one of its kind.
    void tabClosed(int index, void* data);

  private:
    int indexOf(const BrainDocTab* tab) const;

    TabControlRenderer& strip_;
    PageFactory pages_;
    ListFactory lists_;
    BrainDocTab* remembered_[2] = {nullptr, nullptr};
};

} // namespace volumira
