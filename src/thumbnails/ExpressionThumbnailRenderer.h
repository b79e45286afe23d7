#pragma once

// One slot of the thumbnail page: the list entry it shows (copied), the entry's coarse expression data
// once loaded (from the thumbnail cache or the data server), the display lists of its point cloud, the
// running transfer, its text boxes and its three buttons.

#include "net/NetEventListener.h"
#include "net/NetFile.h"
#include "render/GLTextureButton.h"
#include "thumbnails/ThumbnailLayout.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace volumira {

class BrainThumbnailRenderer;
class GLTextBox;

class ExpressionThumbnailRenderer : public NetEventListener {
  public:
    // The level of the grid files behind thumbnails.
    static constexpr int kThumbnailLevel = 0;
    static constexpr const char* kNotAvailable = "3D not available";

    // What a release on one of the slot's buttons asks the page to do.
    enum class Action { kNone, kDownload, kAllExperiments, kSimilarGenes };

    // Needs the page's display context current (its textures are made here).
    explicit ExpressionThumbnailRenderer(BrainThumbnailRenderer& page);
    // Cancels the transfer; the page destroys slots with its context current.
    ~ExpressionThumbnailRenderer() override;
    ExpressionThumbnailRenderer(const ExpressionThumbnailRenderer&) = delete;
    ExpressionThumbnailRenderer& operator=(const ExpressionThumbnailRenderer&) = delete;

    // Where the slot's row lies (lower-left corner, overlay coordinates) and the page's layout.
    void place(int x, int y, const ThumbnailLayout& layout);
    // Clears the slot, describes the entry and starts loading its thumbnail.
    void show(const GeneExpression& entry, int listIndex);
    // Cancels the transfer, deletes the lists and empties the texts.
    void clear();
    void draw(float angle);

    // Overlay coordinates (y upwards).
    bool mouseDown(int x, int y);
    void mouseMove(int x, int y);
    Action mouseUp(int x, int y);
    void forgetPress() { pressed_ = Action::kNone; }

    bool inUse() const { return inUse_; }
    int listIndex() const { return listIndex_; }
    const ThumbnailEntry& entry() const { return entry_; }
    bool isLoading() const { return static_cast<bool>(transfer_); }
    bool hasThumbnail() const { return thumbnail_ != nullptr; }
    bool lacksThumbnail() const { return lacksThumbnail_; }
    const GeneExpression* thumbnail() const { return thumbnail_.get(); }
    const std::vector<ThumbnailGroup>& groups() const { return groups_; }
    // Display lists made so far for the current thumbnail: made once, on the first frame that shows it.
    int listsBuilt() const { return listsBuilt_; }
    const std::string& message() const { return message_; }
    const std::string& description() const { return description_; }
    const std::string& sizeText() const { return sizeText_; }
    const GLTextBox& sizeBox() const { return *sizeBox_; }
    static constexpr int kSizeBoxWidth = 64;
    // Why the thumbnail is not shown; empty when it is or is coming.
    const std::string& error() const { return error_; }
    // Whether each follow-up button takes presses now.
    bool allExperimentsAllowed() const;
    bool similarGenesAllowed() const;
    // Window-independent spots of the buttons, for input.
    int downloadX() const { return textX(); }
    int downloadY() const { return y_ + 4; }
    int iconX(int which) const;
    int iconY() const { return y_ + 7; }

    void transferComplete(const std::uint8_t* data, std::size_t length) override;
    void transferFailed(const std::string& message) override;
    void headersReceived(const std::string& contentType, std::uint64_t contentLength) override;
    void dataReceived(const std::uint8_t* data, std::size_t length) override;

  private:
    void load();
    void setThumbnail(std::unique_ptr<GeneExpression> data);
    void markUnavailable(const std::string& why);
    void deleteLists();
    void buildLists();
    int textX() const { return x_ + layout_.thumbnailWidth + 5; }
    int top() const { return y_ + layout_.rowHeight; }
    bool hit(Action button, int x, int y) const;

    BrainThumbnailRenderer& page_;
    int x_ = 0, y_ = 0;
    ThumbnailLayout layout_;
    bool inUse_ = false;
    int listIndex_ = -1;
    ThumbnailEntry entry_;
    // The cache key of the running transfer: id type and id; type -1 for a file known by path only.
    int keyType_ = -1;
    std::int32_t keyId_ = 0;
    std::unique_ptr<GeneExpression> thumbnail_;
    std::vector<ThumbnailGroup> groups_;
    unsigned int listBase_ = 0;
    int listsBuilt_ = 0;
    TransferHandle transfer_;
    std::uint64_t expected_ = 0, received_ = 0;
    bool lacksThumbnail_ = false;
    std::unique_ptr<GLTextBox> descriptionBox_, messageBox_, sizeBox_;
    std::string description_, message_, sizeText_, error_;
    std::unique_ptr<GLTextureButton> download_;
    GLTextureButton allExperiments_, similarGenes_;
    Action pressed_ = Action::kNone;
    bool onPressed_ = false;
};

} // namespace volumira
