#include "thumbnails/ThumbnailSlot.h"

#include "expression/ExpressionAtlas.h"
#include "io/MemoryStream.h"
#include "net/ServerUrls.h"
#include "search/PagedGeneList.h"
#include "search/SearchConfig.h"
#include "storage/GeneExpressionCache.h"
#include "thumbnails/ThumbnailPage.h"

#include <stdexcept>

namespace volumira {

namespace {

std::string missingKey(int type, std::int32_t id, const std::string& path) {
    return type < 0 ? "path:" + path : std::to_string(type) + ":" + std::to_string(id);
}

} // namespace

ThumbnailSlot::ThumbnailSlot(ThumbnailPage& page, int index) : page_(page), index_(index) {}

ThumbnailSlot::~ThumbnailSlot() {
    transfer_.cancel();
}

void ThumbnailSlot::clear() {
    transfer_.cancel();
    expected_ = received_ = 0;
    if (thumbnail_) ++serial_;
    thumbnail_.reset();
    inUse_ = false;
    listIndex_ = -1;
    entry_ = {};
    keyType_ = -1;
    keyId_ = 0;
    lacksThumbnail_ = false;
    description_.clear();
    message_.clear();
    sizeText_.clear();
    error_.clear();
}

void ThumbnailSlot::show(const GeneExpression& entry, int listIndex) {
    clear();
    inUse_ = true;
    listIndex_ = listIndex;
    entry_ = ThumbnailEntry::of(entry);
    description_ = thumbnailDescription(entry_);
    sizeText_ = thumbnailSizeText(entry_.fileSize);
    load();
    page_.slotChanged(index_, SlotChange::kEntry);
}

void ThumbnailSlot::load() {
    if (entry_.imageSeriesId != 0) {
        keyType_ = kImageSeriesId;
        keyId_ = entry_.imageSeriesId;
    } else if (entry_.experimentId != 0) {
        keyType_ = kExperimentId;
        keyId_ = entry_.experimentId;
    } else if (entry_.geneId != 0) {
        keyType_ = kGeneId;
        keyId_ = entry_.geneId;
    }
    const std::string path = entry_.gridPath();
    if (!entry_.available || page_.isMissing(missingKey(keyType_, keyId_, path))) {
        markUnavailable("The server has no thumbnail for this entry.");
        return;
    }
    try {
        if (keyType_ >= 0) {
            MemoryStream cached;
            if (page_.cache().retrieve(keyId_, kThumbnailLevel, keyType_, cached)) {
                try {
                    setThumbnail(std::make_unique<GeneExpression>(cached, page_.atlas()));
                    return;
                } catch (const std::exception&) {
                    // A damaged copy is dropped and fetched again.
                    page_.cache().remove(keyId_, kThumbnailLevel, keyType_);
                }
            }
        }
        const ServerUrls& urls = page_.urls();
        std::string url;
        if (keyType_ == kImageSeriesId)
            url = urls.gridByImageSeries(keyId_, kThumbnailLevel);
        else if (keyType_ == kExperimentId)
            url = urls.gridByExperiment(keyId_, kThumbnailLevel);
        else if (keyType_ == kGeneId)
            url = urls.gridByGene(keyId_, kThumbnailLevel);
        else
            url = urls.gridByPath(path, kThumbnailLevel);
        try {
            transfer_ = openUrl(url, this, true);
        } catch (const std::exception&) {
            throw std::runtime_error("Could not connect to gene server.");
        }
    } catch (const std::exception& e) {
        markUnavailable(e.what());
    }
}

void ThumbnailSlot::setThumbnail(std::unique_ptr<GeneExpression> data) {
    thumbnail_ = std::move(data);
    ++serial_;
    message_.clear();
}

void ThumbnailSlot::markUnavailable(const std::string& why) {
    error_ = why;
    lacksThumbnail_ = true;
    message_ = kNotAvailable;
}

void ThumbnailSlot::transferComplete(const std::uint8_t* data, std::size_t length) {
    // The final report: the slot no longer shows progress.
    transfer_.cancel();
    try {
        std::unique_ptr<GeneExpression> parsed = page_.parse(data, length);
        if (keyType_ >= 0) page_.storeThumbnail(keyType_, keyId_, data, length);
        setThumbnail(std::move(parsed));
    } catch (const std::exception& e) {
        markUnavailable(e.what());
    }
    page_.slotChanged(index_, SlotChange::kThumbnail);
}

void ThumbnailSlot::transferFailed(const std::string& message) {
    transfer_.cancel();
    page_.markMissing(missingKey(keyType_, keyId_, entry_.gridPath()));
    markUnavailable(message);
    page_.slotChanged(index_, SlotChange::kThumbnail);
}

void ThumbnailSlot::headersReceived(const std::string&, std::uint64_t contentLength) {
    expected_ = contentLength;
    received_ = 0;
}

void ThumbnailSlot::dataReceived(const std::uint8_t*, std::size_t length) {
    received_ += length;
    page_.slotChanged(index_, SlotChange::kProgress);
}

bool ThumbnailSlot::allExperimentsAllowed() const {
    return inUse_ && page_.list().geneResults();
}

bool ThumbnailSlot::similarGenesAllowed() const {
    return inUse_ && entry_.imageSeriesId != 0 && page_.searchConfig().similarSearchOffered(entry_.plane);
}

} // namespace volumira
