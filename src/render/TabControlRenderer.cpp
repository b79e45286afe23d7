#include "render/TabControlRenderer.h"

#include "platform/FileUtils.h"
#include "render/GL.h"
#include "render/Shapes.h"
#include "render/GLDisplay.h"
#include "render/GLTextBox.h"
#include "render/IconTextures.h"

#include <algorithm>

namespace volumira {

namespace {

constexpr int kTabTextWidth = 200;
constexpr int kFlashMilliseconds = 250;

// Byte offset of the n-th code point of a UTF-8 text, or its length when it has fewer.
std::size_t codePointOffset(const std::string& text, int n) {
    std::size_t i = 0;
    for (int seen = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0u) == 0x80u) continue;
        if (seen++ == n) return i;
    }
    return text.size();
}

void fill(float grey, float x0, float y0, float x1, float y1) {
    glColor3f(grey, grey, grey);
    RectangleShape::fill(x0, y0, x1, y1);
}

void line(float grey, float x0, float y0, float x1, float y1) {
    glColor3f(grey, grey, grey);
    glBegin(GL_LINES);
    glVertex2f(x0, y0);
    glVertex2f(x1, y1);
    glEnd();
}

} // namespace

TabControlRenderer::TabControlRenderer(GLDisplay& display, TabControlListener* listener)
    : display_(display), listener_(listener) {}

TabControlRenderer::~TabControlRenderer() {
    // The tabs' text and the icons are textures of the display's context, and so may be the pages the
    // listener lets go of.
    const GLDisplay::ContextGrab grab(display_);
    for (int i = tabCount() - 1; i >= 0; --i) {
        if (listener_) listener_->tabClosed(i, tabs_[i].data);
        tabs_.pop_back();
    }
    closeIcon_.release();
    closeIconHover_.release();
}

std::string TabControlRenderer::shownTitle(const std::string& title) {
    if (codePointOffset(title, kTitleLimit) == title.size()) return title;
    return title.substr(0, codePointOffset(title, kTitleKeep)) + "...";
}

int TabControlRenderer::closeIconWidth() const {
    // The icon's natural size, known without a GL context.
    return iconBitmap(kIconClose).width;
}

int TabControlRenderer::viewportHeight() const {
    return drawnViewportHeight_ >= 0 ? drawnViewportHeight_ : display_.height();
}

void* TabControlRenderer::tabData(int index) const {
    return index >= 0 && index < tabCount() ? tabs_[index].data : nullptr;
}

void TabControlRenderer::layoutTabs() {
    int x = 6;
    for (Tab& tab : tabs_) {
        const int extra = tab.closable ? closeIconWidth() + 8 : 24;
        const int width = std::max(75, tab.text->textWidth() + 8 + extra);
        tab.left = x;
        tab.right = x + width;
        x = tab.right;
    }
}

int TabControlRenderer::addTab(const std::string& text, bool closable, void* data) {
    Tab tab;
    tab.text = display_.createTextBox(kTabTextWidth, 1, false, 0);
    tab.text->setText(shownTitle(text));
    tab.closable = closable;
    tab.data = data;
    tabs_.push_back(std::move(tab));
    layoutTabs();
    display_.requestRedraw();
    return tabCount() - 1;
}

void TabControlRenderer::removeTab(int index) {
    if (index < 0 || index >= tabCount()) return;
    // The closed tab's text is a texture, and the listener may delete the page's GL objects.
    const GLDisplay::ContextGrab grab(display_);
    void* removed = tabs_[index].data;
    tabs_.erase(tabs_.begin() + index);
    layoutTabs();
    if (listener_) listener_->tabDeselected(selected_, removed);
    if (selected_ >= index) --selected_;
    selected_ = std::clamp(selected_, 0, std::max(tabCount() - 1, 0));
    if (listener_) listener_->tabSelected(selected_, tabData(selected_));
    if (listener_) listener_->tabClosed(index, removed);
}

void TabControlRenderer::selectTab(int index) {
    if (listener_) listener_->tabDeselected(selected_, tabData(selected_));
    const bool inRange = index >= 0 && index < tabCount();
    selected_ = inRange ? index : -1;
    if (inRange && listener_) listener_->tabSelected(index, tabs_[index].data);
}

void TabControlRenderer::setTabTitle(int index, const std::string& text) {
    if (index < 0 || index >= tabCount()) return;
    tabs_[index].text->setText(shownTitle(text));
    layoutTabs();
    display_.requestRedraw();
}

void TabControlRenderer::flashTab(int index) {
    if (index == selected_) return;
    flashing_ = index;
    display_.redrawNow();
    sleepMilliseconds(kFlashMilliseconds);
    flashing_ = -1;
    display_.requestRedraw();
}

TabControlRenderer::Hit TabControlRenderer::hitTest(int x, int y) const {
    Hit hit;
    const int top = viewportHeight();
    for (int i = 0; i < tabCount(); ++i) {
        const Tab& tab = tabs_[i];
        if (x < tab.left || x >= tab.right) continue;
        hit.index = i;
        const int dx = x - tab.left;
        hit.onCloseButton =
            tab.closable && dx > 3 && dx < closeIconWidth() + 5 && y >= top - kStripHeight + 2 && y < top - 2;
        break;
    }
    return hit;
}

bool TabControlRenderer::overPressedCloseButton(int x, int y) const {
    if (pressed_ <= 0 || tabCount() < 2) return false;
    const int overlayY = viewportHeight() - y - 1;
    if (overlayY < viewportHeight() - kStripHeight) return false;
    const Hit hit = hitTest(x, overlayY);
    return hit.index == pressed_ && hit.onCloseButton;
}

bool TabControlRenderer::mouseDown(int button, int x, int y, int, std::uint32_t) {
    if (button != 0 || tabCount() < 2) return false;
    const int overlayY = viewportHeight() - y - 1;
    if (overlayY < viewportHeight() - kStripHeight) return false;
    const Hit hit = hitTest(x, overlayY);
    if (hit.index < 0) return false;
    if (hit.onCloseButton) {
        pressed_ = hit.index;
        closeHover_ = true;
        return true;
    }
    selectTab(hit.index);
    return false;
}

bool TabControlRenderer::mouseUp(int, int x, int y, int, std::uint32_t) {
    const int pressed = pressed_;
    const bool close = overPressedCloseButton(x, y);
    pressed_ = -1;
    closeHover_ = false;
    if (close) removeTab(pressed);
    return true;
}

void TabControlRenderer::mouseCaptureLost() {
    pressed_ = -1;
    closeHover_ = false;
}

bool TabControlRenderer::mouseMove(int x, int y, int, std::uint32_t) {
    closeHover_ = overPressedCloseButton(x, y);
    return true;
}

void TabControlRenderer::ensureIcons() {
    if (iconsLoaded_) return;
    loadIconTexture(kIconClose, closeIcon_, false);
    loadIconTexture(kIconClose, closeIconHover_, false);
    brightenTexture(closeIconHover_);
    iconsLoaded_ = true;
}

void TabControlRenderer::draw(int width) {
    ensureIcons();
    drawnViewportHeight_ = display_.height();
    const float top = static_cast<float>(drawnViewportHeight_);
    const float strip = static_cast<float>(kStripHeight);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    const float w = static_cast<float>(width);
    fill(0.3f, 0.0f, top, w, top - 20.0f);
    line(0.45f, 0.0f, top - strip + 2, w, top - strip + 2);
    line(0.45f, 0.0f, top - strip + 1, w, top - strip + 1);
    line(0.1f, 0.0f, top - strip, w, top - strip);
    const int textHeight = tabs_.empty() ? 0 : tabs_.front().text->height();
    const int textY = static_cast<int>(top) + (kStripHeight - textHeight - 2) / 2 - kStripHeight + 2;
    for (int i = 0; i < tabCount(); ++i) {
        const Tab& tab = tabs_[i];
        const float left = static_cast<float>(tab.left), right = static_cast<float>(tab.right);
        if (i == selected_ || i == flashing_) {
            glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
            fill(i == selected_ ? 0.45f : 0.75f, left, top - 2, right, top - strip + 2);
        } else {
            // Edges that touch the selected tab belong to its fill.
            if (i - 1 != selected_) line(0.1f, left, top - 2, left, top - strip + 2);
            if (i + 1 != selected_) line(0.1f, right, top - 2, right, top - strip + 2);
        }
        int textX = tab.left + 16;
        if (tab.closable) {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            TextureImage& icon = (closeHover_ && pressed_ == i) ? closeIconHover_ : closeIcon_;
            icon.drawAt(tab.left + 4, textY);
            textX = tab.left + closeIconWidth() + 8;
        }
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        tab.text->draw(textX, textY);
    }
    glPopAttrib();
}

} // namespace volumira
