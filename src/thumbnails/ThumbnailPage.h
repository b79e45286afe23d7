#pragma once

// The page of a result tab without GL: up to ten genes of a paged gene list in slots that load their
// coarse thumbnails (through the thumbnail cache or from the data server), paging, the follow-up searches
// of a slot's gene and the queue of full downloads, which a GeneFetcher fetches one at a time and the page
// adds to the document's model. BrainThumbnailRenderer draws it and ThumbnailPageInput turns the view's
// clicks and keys into its commands; it tells them of its changes through a ThumbnailPageObserver.
// Everything given to it is the caller's and must outlive it.

#include "expression/ExpressionAtlas.h"
#include "net/GeneFetchCompletionListener.h"
#include "net/GeneFetcher.h"
#include "net/ServerUrls.h"
#include "search/PagedGeneListListener.h"
#include "thumbnails/ThumbnailSlot.h"

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace volumira {

class BrainExpressionModel;
class GeneExpressionCache;
class PagedGeneList;
class SearchConfig;
class SearchController;
class UserPreferences;

// Shows an error to the user (a message box in the window); the page goes on afterwards.
using ThumbnailErrors = std::function<void(const std::string& message)>;
// The search configuration of the moment: an update from the server may replace it while a page lives.
using SearchConfigSource = std::function<const SearchConfig&()>;

// What changed in a slot.
enum class SlotChange {
    kEntry,     // given an entry or emptied; a thumbnail from the cache comes with it
    kThumbnail, // its thumbnail arrived or failed
    kProgress,  // its transfer received bytes
};

// Told of what the page shows, on the user-interface thread.
class ThumbnailPageObserver {
  public:
    virtual ~ThumbnailPageObserver() = default;
    // The title, the status text, the paging state or the download queue changed.
    virtual void pageChanged() = 0;
    virtual void slotChanged(int slot, SlotChange change) = 0;
};

class ThumbnailPage : public PagedGeneListListener, public GeneFetchCompletionListener {
  public:
    // Pages moved by a large step (Shift with the paging buttons, Page Up and Page Down).
    static constexpr int kLargeStep = 5;
    // The level of the grid file a download fetches.
    static constexpr int kDownloadLevel = 2;
    // Thumbnail stores between two trims of the cache.
    static constexpr int kStoresPerTrim = 10;

    // atlas: what thumbnails and downloads are read with; cache: the process-wide thumbnail cache
    // (resultListThumbnailCache()).
    ThumbnailPage(PagedGeneList& list, BrainExpressionModel& model, ExpressionAtlas atlas,
                  SearchController& controller, SearchConfigSource config, const UserPreferences& preferences,
                  GeneExpressionCache& cache, ThumbnailErrors errors);
    ~ThumbnailPage() override;
    ThumbnailPage(const ThumbnailPage&) = delete;
    ThumbnailPage& operator=(const ThumbnailPage&) = delete;

    // One observer at most; null for none.
    void setObserver(ThumbnailPageObserver* observer) { observer_ = observer; }

    // ---- paging ----
    bool hasResults() const;
    bool onFirstPage() const;
    bool onLastPage() const;
    // Moves the list to the page, clamped to those there are, when it is another one.
    void goToPage(int page);
    void stepPages(int step);
    void firstPage() { goToPage(0); }
    void lastPage();
    // The list's title followed by its status line.
    const std::string& titleText() const { return titleText_; }

    // ---- a slot's gene ----
    // Queues the full file of the slot's entry.
    void downloadEntry(int slot);
    // Every image series of the slot's gene, as a follow-up search.
    void listAllExperiments(int slot);
    // Genes whose expression resembles the slot's image series.
    void findSimilarGenes(int slot);

    // ---- the download queue ----
    // name: shown in the status; url: the grid file.
    void queueDownload(const std::string& name, const std::string& url);
    // Drops the running download and goes on with the next.
    void cancelDownload();
    // Drops the running download and every waiting one.
    void cancelAllDownloads();
    // "Downloading NAME - N queued" while busy, "NAME downloaded" after the last, else empty.
    const std::string& statusText() const { return statusText_; }
    std::size_t queuedDownloads() const { return queue_.size(); }
    const GeneFetcher& fetcher() const { return fetcher_; }

    ThumbnailSlot& slot(int index) { return *slots_.at(static_cast<std::size_t>(index)); }
    const ThumbnailSlot& slot(int index) const { return *slots_.at(static_cast<std::size_t>(index)); }
    bool anySlotInUse() const;

    // ---- what the slots use ----
    const PagedGeneList& list() const { return list_; }
    const SearchConfig& searchConfig() const { return config_(); }
    const ServerUrls& urls() const { return urls_; }
    const ExpressionAtlas& atlas() const { return atlas_; }
    GeneExpressionCache& cache() { return cache_; }
    // Reads a grid file held in memory; throws what the reader throws.
    std::unique_ptr<GeneExpression> parse(const std::uint8_t* data, std::size_t length) const;
    // Stores a downloaded thumbnail file; every tenth store trims the cache.
    void storeThumbnail(int type, std::int32_t id, const std::uint8_t* data, std::size_t length);
    // Thumbnails the server could not give, so that showing their page again does not ask once more.
    void markMissing(const std::string& key) { missing_.insert(key); }
    bool isMissing(const std::string& key) const { return missing_.count(key) != 0; }
    void slotChanged(int slot, SlotChange change);

    void listChanged(int event, PagedGeneList& list, int value) override;
    void fetchComplete(GeneFetcher& fetcher, const std::uint8_t* data, std::size_t length) override;
    void fetchFailed(GeneFetcher& fetcher, const std::string& message) override;
    void fetchProgress(GeneFetcher& fetcher, float fraction) override;

  private:
    struct QueuedDownload {
        std::string name, url;
    };

    void clearSlots();
    void refreshTitle();
    void startNextDownload();
    void refreshStatus();
    void changed();
    void reportError(const std::string& message);

    PagedGeneList& list_;
    BrainExpressionModel& model_;
    ExpressionAtlas atlas_;
    SearchController& controller_;
    SearchConfigSource config_;
    ServerUrls urls_;
    GeneExpressionCache& cache_;
    ThumbnailErrors errors_;
    ThumbnailPageObserver* observer_ = nullptr;
    std::array<std::unique_ptr<ThumbnailSlot>, kThumbnailSlots> slots_;
    std::string titleText_, statusText_;
    std::deque<QueuedDownload> queue_;
    std::string downloading_;
    GeneFetcher fetcher_;
    int storesSinceTrim_ = 0;
    std::set<std::string> missing_;
};

} // namespace volumira
