#pragma once

// One slot of a thumbnail page without GL: the list entry it shows (copied), its texts, the entry's
// coarse expression data once loaded (from the thumbnail cache or the data server) and the running
// transfer. BrainThumbnailRenderer draws it through an ExpressionThumbnailRenderer.

#include "expression/GeneExpression.h"
#include "net/NetEventListener.h"
#include "net/NetFile.h"
#include "thumbnails/ThumbnailEntry.h"

#include <cstdint>
#include <memory>
#include <string>

namespace volumira {

class ThumbnailPage;

class ThumbnailSlot : public NetEventListener {
  public:
    // The level of the grid files behind thumbnails.
    static constexpr int kThumbnailLevel = 0;
    static constexpr const char* kNotAvailable = "3D not available";

    ThumbnailSlot(ThumbnailPage& page, int index);
    // Cancels the transfer.
    ~ThumbnailSlot() override;
    ThumbnailSlot(const ThumbnailSlot&) = delete;
    ThumbnailSlot& operator=(const ThumbnailSlot&) = delete;

    // Clears the slot, describes the entry and starts loading its thumbnail.
    void show(const GeneExpression& entry, int listIndex);
    // Cancels the transfer and forgets the entry, its thumbnail and its texts.
    void clear();

    int index() const { return index_; }
    bool inUse() const { return inUse_; }
    int listIndex() const { return listIndex_; }
    const ThumbnailEntry& entry() const { return entry_; }
    bool isLoading() const { return static_cast<bool>(transfer_); }
    bool hasThumbnail() const { return thumbnail_ != nullptr; }
    bool lacksThumbnail() const { return lacksThumbnail_; }
    const GeneExpression* thumbnail() const { return thumbnail_.get(); }
    // Changes whenever the thumbnail is replaced or dropped, so that what was made from it can tell it is
    // out of date.
    unsigned thumbnailSerial() const { return serial_; }
    // Bytes of the running transfer: announced (0 when unknown) and received so far.
    std::uint64_t expectedBytes() const { return expected_; }
    std::uint64_t receivedBytes() const { return received_; }
    const std::string& message() const { return message_; }
    const std::string& description() const { return description_; }
    const std::string& sizeText() const { return sizeText_; }
    // Why the thumbnail is not shown; empty when it is or is coming.
    const std::string& error() const { return error_; }
    // Whether each follow-up search is offered for the entry now.
    bool allExperimentsAllowed() const;
    bool similarGenesAllowed() const;

    void transferComplete(const std::uint8_t* data, std::size_t length) override;
    void transferFailed(const std::string& message) override;
    void headersReceived(const std::string& contentType, std::uint64_t contentLength) override;
    void dataReceived(const std::uint8_t* data, std::size_t length) override;

  private:
    void load();
    void setThumbnail(std::unique_ptr<GeneExpression> data);
    void markUnavailable(const std::string& why);

    ThumbnailPage& page_;
    int index_;
    bool inUse_ = false;
    int listIndex_ = -1;
    ThumbnailEntry entry_;
    // The cache key of the running transfer: id type and id; type -1 for a file known by path only.
    int keyType_ = -1;
    std::int32_t keyId_ = 0;
    std::unique_ptr<GeneExpression> thumbnail_;
    unsigned serial_ = 0;
    TransferHandle transfer_;
    std::uint64_t expected_ = 0, received_ = 0;
    bool lacksThumbnail_ = false;
    std::string description_, message_, sizeText_, error_;
};

} // namespace volumira
