#include "thumbnails/ThumbnailPage.h"

#include "expression/BrainExpressionModel.h"
#include "io/MemoryStream.h"
#include "search/PagedGeneList.h"
#include "search/SearchController.h"
#include "storage/GeneExpressionCache.h"

#include <algorithm>

namespace volumira {

ThumbnailPage::ThumbnailPage(PagedGeneList& list, BrainExpressionModel& model, ExpressionAtlas atlas,
                             SearchController& controller, SearchConfigSource config,
                             const UserPreferences& preferences, GeneExpressionCache& cache,
                             ThumbnailErrors errors)
    : list_(list), model_(model), atlas_(atlas), controller_(controller), config_(std::move(config)),
      urls_(preferences), cache_(cache), errors_(std::move(errors)) {
    for (int i = 0; i < kThumbnailSlots; ++i)
        slots_[static_cast<std::size_t>(i)] = std::make_unique<ThumbnailSlot>(*this, i);
    list_.addListener(this);
    refreshTitle();
}

ThumbnailPage::~ThumbnailPage() {
    list_.removeListener(this);
    fetcher_.cancel();
}

void ThumbnailPage::changed() {
    if (observer_) observer_->pageChanged();
}

void ThumbnailPage::slotChanged(int slot, SlotChange change) {
    if (observer_) observer_->slotChanged(slot, change);
}

void ThumbnailPage::reportError(const std::string& message) {
    if (errors_) errors_(message);
}

bool ThumbnailPage::anySlotInUse() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const auto& s) { return s->inUse(); });
}

// ---- the list ----

void ThumbnailPage::clearSlots() {
    for (auto& slot : slots_) {
        slot->clear();
        slotChanged(slot->index(), SlotChange::kEntry);
    }
}

void ThumbnailPage::listChanged(int event, PagedGeneList& list, int value) {
    switch (event) {
    case kResultStored: {
        const int first = list.currentPage() * list.pageSize();
        const int slot = value - first;
        if (slot >= 0 && slot < std::min(list.pageSize(), kThumbnailSlots) && value < list.size())
            if (const GeneExpression* entry = list.result(value))
                slots_[static_cast<std::size_t>(slot)]->show(*entry, value);
        break;
    }
    case kCleared:
    case kClearedForImport:
    case kPageChanged:
        clearSlots();
        break;
    case kRequestFailed:
        // A failed page request leaves nothing to show.
        if (!anySlotInUse()) clearSlots();
        break;
    default:
        break;
    }
    refreshTitle();
    changed();
}

void ThumbnailPage::refreshTitle() {
    titleText_ = list_.title() + list_.statusText();
}

std::unique_ptr<GeneExpression> ThumbnailPage::parse(const std::uint8_t* data, std::size_t length) const {
    MemoryStream stream(length);
    if (length > 0) stream.write(data, length);
    stream.seek(0);
    return std::make_unique<GeneExpression>(stream, atlas_);
}

void ThumbnailPage::storeThumbnail(int type, std::int32_t id, const std::uint8_t* data, std::size_t length) {
    cache_.store(id, ThumbnailSlot::kThumbnailLevel, type, data, length);
    if (++storesSinceTrim_ >= kStoresPerTrim) {
        storesSinceTrim_ = 0;
        cache_.clean();
    }
}

// ---- paging ----

bool ThumbnailPage::hasResults() const {
    return list_.size() > 0;
}

bool ThumbnailPage::onFirstPage() const {
    return list_.currentPage() <= 0;
}

bool ThumbnailPage::onLastPage() const {
    return list_.currentPage() >= list_.pageCount() - 1;
}

void ThumbnailPage::goToPage(int page) {
    const int count = list_.pageCount();
    if (count <= 0) return;
    page = std::clamp(page, 0, count - 1);
    if (page != list_.currentPage()) list_.showPage(page);
}

void ThumbnailPage::stepPages(int step) {
    goToPage(list_.currentPage() + step);
}

void ThumbnailPage::lastPage() {
    goToPage(list_.pageCount() - 1);
}

// ---- a slot's gene ----

void ThumbnailPage::downloadEntry(int slot) {
    const ThumbnailEntry entry = this->slot(slot).entry();
    const std::string& name = entry.symbol.empty() ? entry.name : entry.symbol;
    std::string url;
    try {
        if (entry.fileUrl.find("://") != std::string::npos)
            url = entry.fileUrl;
        else
            url = urls_.grid({entry.imageSeriesId, entry.experimentId, entry.geneId, entry.gridPath()},
                             kDownloadLevel);
    } catch (const std::exception& e) {
        reportError(e.what());
        return;
    }
    queueDownload(name, url);
}

void ThumbnailPage::listAllExperiments(int slot) {
    // Copied first: a search started here clears the list, and with it the slot.
    const ThumbnailEntry entry = this->slot(slot).entry();
    const std::string& name = entry.symbol.empty() ? entry.name : entry.symbol;
    if (entry.geneId != 0)
        controller_.listImageSeries(name, entry.geneId);
    else
        controller_.startTextSearch(name, "genesym=" + name, true);
}

void ThumbnailPage::findSimilarGenes(int slot) {
    const ThumbnailEntry entry = this->slot(slot).entry();
    controller_.findSimilar(entry.symbol.empty() ? entry.name : entry.symbol, entry.imageSeriesId);
}

// ---- downloads ----

void ThumbnailPage::queueDownload(const std::string& name, const std::string& url) {
    queue_.push_back({name, url});
    startNextDownload();
}

void ThumbnailPage::startNextDownload() {
    std::string failure;
    while (!fetcher_.isFetching() && !queue_.empty()) {
        const QueuedDownload next = queue_.front();
        queue_.pop_front();
        try {
            fetcher_.fetch(next.name, next.url, this, 0);
            downloading_ = next.name;
        } catch (const std::exception& e) {
            fetcher_.cancel();
            failure = e.what();
        }
    }
    refreshStatus();
    changed();
    if (!failure.empty()) reportError(failure);
}

void ThumbnailPage::refreshStatus() {
    if (!fetcher_.isFetching()) {
        statusText_.clear();
        return;
    }
    statusText_ = "Downloading " + downloading_;
    if (!queue_.empty()) statusText_ += " - " + std::to_string(queue_.size()) + " queued";
}

void ThumbnailPage::fetchComplete(GeneFetcher&, const std::uint8_t* data, std::size_t length) {
    const std::string name = downloading_;
    std::string failure;
    try {
        model_.addGene(parse(data, length));
    } catch (const std::exception& e) {
        failure = std::string("Error reading gene data. ") + e.what();
    }
    fetcher_.cancel();
    if (!queue_.empty()) {
        startNextDownload();
    } else {
        // A file that could not be read is not reported as downloaded.
        statusText_ = failure.empty() ? name + " downloaded" : "";
        changed();
    }
    // Last: the error box may run a nested event loop.
    if (!failure.empty()) reportError(failure);
}

void ThumbnailPage::fetchFailed(GeneFetcher&, const std::string& message) {
    const std::string name = downloading_;
    fetcher_.cancel();
    startNextDownload();
    // A lost download is said, not dropped silently.
    reportError("Error downloading gene data for " + name + ". " + message);
}

void ThumbnailPage::fetchProgress(GeneFetcher&, float) {
    changed();
}

void ThumbnailPage::cancelDownload() {
    fetcher_.cancel();
    startNextDownload();
}

void ThumbnailPage::cancelAllDownloads() {
    fetcher_.cancel();
    queue_.clear();
    statusText_.clear();
    changed();
}

} // namespace volumira
