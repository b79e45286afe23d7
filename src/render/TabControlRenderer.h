#pragma once

#include "render/MouseListener.h"
#include "render/TextureImage.h"

#include <memory>
#include <string>
#include <vector>

namespace volumira {

class GLDisplay;
class GLTextBox;

// Told about the tab strip's selection and closed tabs; `data` is the tab's user data.
class TabControlListener {
  public:
    virtual ~TabControlListener() = default;
    virtual void tabDeselected(int index, void* data) = 0;
    virtual void tabSelected(int index, void* data) = 0;
    virtual void tabClosed(int index, void* data) = 0;
};

// The document's tab strip, drawn by every page renderer across the top of the view. Mouse positions
// arrive in window coordinates (y downwards); hitTest takes overlay coordinates (y upwards).
class TabControlRenderer : public MouseListener {
  public:
    static constexpr int kStripHeight = 22;
    // Titles longer than this are cut to kTitleKeep characters and "...".
    static constexpr int kTitleLimit = 24;
    static constexpr int kTitleKeep = 21;

    struct Hit {
        int index = -1;
        bool onCloseButton = false;
    };

    TabControlRenderer(GLDisplay& display, TabControlListener* listener);
    // Removes every tab from the last to the first, telling the listener of each.
    ~TabControlRenderer() override;

    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;
    // Forgets a pressed close button.
    void mouseCaptureLost() override;

    virtual int addTab(const std::string& text, bool closable, void* data);
    virtual void removeTab(int index);
    virtual void selectTab(int index);
    virtual int selectedIndex() const { return selected_; }
    // Null when out of range.
    virtual void* tabData(int index) const;
    virtual int tabCount() const { return static_cast<int>(tabs_.size()); }
    virtual void setTabTitle(int index, const std::string& text);
    // Shows the tab lit for a quarter of a second; nothing for the selected tab.
    virtual void flashTab(int index);
    virtual int stripHeight() const { return kStripHeight; }
    virtual bool hasMultipleTabs() const { return tabs_.size() > 1; }
    // Draws across the given width at the top of the viewport; needs the context current.
    virtual void draw(int width);
    virtual void layoutTabs();
    virtual Hit hitTest(int x, int y) const;

    // Horizontal extent of a tab after layout.
    int tabLeft(int index) const { return tabs_.at(index).left; }
    int tabRight(int index) const { return tabs_.at(index).right; }
    // The text a tab shows for a title.
    static std::string shownTitle(const std::string& title);
    int closeIconWidth() const;

  private:
    struct Tab {
        std::unique_ptr<GLTextBox> text;
        int left = 0, right = 0;
        bool closable = false;
        void* data = nullptr;
    };

    int viewportHeight() const;
    bool overPressedCloseButton(int x, int y) const;
    void ensureIcons();

    GLDisplay& display_;
    TabControlListener* listener_;
    std::vector<Tab> tabs_;
    int selected_ = 0;
    int pressed_ = -1;
    int flashing_ = -1;
    bool closeHover_ = false;
    TextureImage closeIcon_, closeIconHover_;
    bool iconsLoaded_ = false;
    int drawnViewportHeight_ = -1;
};

} // namespace volumira
