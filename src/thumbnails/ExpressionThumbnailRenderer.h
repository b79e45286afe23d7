#pragma once

// Draws one slot of the thumbnail page: the point cloud of the slot's thumbnail from display lists made
// once per thumbnail, the "3D not available" plate, the transfer's progress, the texts and the slot's
// three buttons. What it shows is the ThumbnailSlot's; the presses are ThumbnailPageInput's.

#include "render/GLHandles.h"
#include "render/GLTextureButton.h"
#include "thumbnails/ThumbnailLayout.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace volumira {

class BrainThumbnailRenderer;
class GLTextBox;
class ThumbnailSlot;

class ExpressionThumbnailRenderer {
  public:
    // What a release on one of the slot's buttons asks the page to do.
    enum class Action { kNone, kDownload, kAllExperiments, kSimilarGenes };

    // Needs the page's display context current (its textures are made here).
    ExpressionThumbnailRenderer(BrainThumbnailRenderer& page, const ThumbnailSlot& slot);
    // The page destroys slots with its context current.
    ~ExpressionThumbnailRenderer();
    ExpressionThumbnailRenderer(const ExpressionThumbnailRenderer&) = delete;
    ExpressionThumbnailRenderer& operator=(const ExpressionThumbnailRenderer&) = delete;

    // Where the slot's row lies (lower-left corner, overlay coordinates) and the page's layout.
    void place(int x, int y, const ThumbnailLayout& layout);
    // Takes the slot's texts and, with the context current, drops the lists of a thumbnail the slot no
    // longer holds.
    void update();
    // pressed: the button held down with the pointer still on it, if any.
    void draw(float angle, Action pressed);

    // The slot's button under an overlay point (y upwards), enabled or not; kNone when none.
    Action buttonAt(int x, int y) const;
    bool hit(Action button, int x, int y) const;

    const ThumbnailSlot& slot() const { return slot_; }
    // The cloud of the slot's thumbnail, by structure group.
    const std::vector<ThumbnailGroup>& groups() const { return groups_; }
    // Display lists made so far for the current thumbnail: made once, on the first frame that shows it.
    int listsBuilt() const { return listsBuilt_; }
    const GLTextBox& sizeBox() const { return *sizeBox_; }
    static constexpr int kSizeBoxWidth = 64;
    // Window-independent spots of the buttons, for input.
    int downloadX() const { return textX(); }
    int downloadY() const { return y_ + 4; }
    int iconX(int which) const;
    int iconY() const { return y_ + 7; }

  private:
    void deleteLists();
    void buildLists();
    int textX() const { return x_ + layout_.thumbnailWidth + 5; }
    int top() const { return y_ + layout_.rowHeight; }

    BrainThumbnailRenderer& page_;
    const ThumbnailSlot& slot_;
    int x_ = 0, y_ = 0;
    ThumbnailLayout layout_;
    // The slot's thumbnail the groups and lists were made from.
    unsigned thumbnailSerial_ = 0;
    std::vector<ThumbnailGroup> groups_;
    // Made again at the next draw when the view's context took them.
    GLDisplayLists lists_;
    int listsBuilt_ = 0;
    std::unique_ptr<GLTextBox> descriptionBox_, messageBox_, sizeBox_;
    std::unique_ptr<GLTextureButton> download_;
    GLTextureButton allExperiments_, similarGenes_;
};

} // namespace volumira
