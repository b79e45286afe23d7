#include "document/ResultTabs.h"

#include "render/GLRenderer.h"
#include "render/TabControlRenderer.h"
#include "search/PagedGeneList.h"

namespace volumira {

BrainDocTab::~BrainDocTab() {
    page.reset();
    list.reset();
}

ResultTabs::ResultTabs(TabControlRenderer& strip, PageFactory pages, ListFactory lists)
    : strip_(strip), pages_(std::move(pages)), lists_(std::move(lists)) {}

ResultTabs::~ResultTabs() = default;

BrainDocTab& ResultTabs::newTab(bool select, TabKind kind) {
    auto tab = std::make_unique<BrainDocTab>();
    tab->kind = kind;
    tab->list = lists_ ? lists_() : std::make_unique<PagedGeneList>(BrainDocTab::kDomain, BrainDocTab::kPageSize);
    if (pages_) tab->page = pages_(*tab->list);
    BrainDocTab* raw = tab.release();
    // The strip owns the tab from here: closing it hands it back through tabClosed, which deletes it.
    const int index = strip_.addTab("Untitled", true, raw);
    if (select) strip_.selectTab(index);
    return *raw;
}

BrainDocTab* ResultTabs::tabAt(int index) const {
    return index >= 1 ? static_cast<BrainDocTab*>(strip_.tabData(index)) : nullptr;
}

int ResultTabs::indexOf(const BrainDocTab* tab) const {
    if (!tab) return -1;
    for (int i = 1; i < strip_.tabCount(); ++i)
        if (tabAt(i) == tab) return i;
    return -1;
}

void ResultTabs::showTabOfKind(TabKind kind) {
    const BrainDocTab* selected = tabAt(strip_.selectedIndex());
    if (selected && selected->kind == kind) return;
    const int remembered = indexOf(remembered_[static_cast<int>(kind)]);
    if (remembered >= 1) {
        strip_.selectTab(remembered);
        return;
    }
    remembered_[static_cast<int>(kind)] = &newTab(true, kind);
}

PagedGeneList* ResultTabs::currentList() const {
    const BrainDocTab* tab = tabAt(strip_.selectedIndex());
    return tab ? tab->list.get() : nullptr;
}

void ResultTabs::updateTabTitle() {
    if (const PagedGeneList* list = currentList()) strip_.setTabTitle(strip_.selectedIndex(), list->title());
}

int ResultTabs::nearestTabOfKind(int start, TabKind kind) const {
    const int n = strip_.tabCount();
    int forward = -1, back = -1;
    for (int i = std::max(start, 1); i < n; ++i)
        if (const BrainDocTab* tab = tabAt(i); tab && tab->kind == kind) {
            forward = i;
            break;
        }
    for (int i = std::min(start, n - 1); i >= 1; --i)
        if (const BrainDocTab* tab = tabAt(i); tab && tab->kind == kind) {
            back = i;
            break;
        }
    const int forwardDistance = forward >= 0 ? forward - start : n + 1;
    const int backDistance = back >= 0 ? start - back : n + 1;
    if (forward < 0 && back < 0) return -1;
    return forwardDistance < backDistance ? forward : back;
}

void ResultTabs::selectNext() {
    const int n = strip_.tabCount();
    if (n > 1) strip_.selectTab((strip_.selectedIndex() + 1) % n);
}

void ResultTabs::selectPrevious() {
    const int n = strip_.tabCount();
    if (n > 1) strip_.selectTab(strip_.selectedIndex() == 0 ? n - 1 : strip_.selectedIndex() - 1);
}

void ResultTabs::closeSelected() {
    if (strip_.selectedIndex() > 0) strip_.removeTab(strip_.selectedIndex());
}

void ResultTabs::tabDeselected(int index, void* data) {
    auto* tab = static_cast<BrainDocTab*>(data);
    if (index >= 1 && tab && tab->kind == TabKind::Results) remembered_[0] = tab;
}

void ResultTabs::tabClosed(int index, void* data) {
    auto* tab = static_cast<BrainDocTab*>(data);
    if (!tab) return;
    const int kind = static_cast<int>(tab->kind);
    if (remembered_[kind] == tab) {
        // The strip has removed the tab already: index now holds its right-hand neighbour.
        const int nearest = nearestTabOfKind(index, tab->kind);
        remembered_[kind] = nearest >= 0 ? tabAt(nearest) : nullptr;
    }
    delete tab;
}

} // namespace volumira
