#pragma once

// A display without a window for the controls' rules: text boxes that measure 7 pixels per byte and
// draw nothing, and counters of the redraw requests.

#include "render/GLDisplay.h"
#include "render/GLTextBox.h"

#include <string>

namespace volumira::test {

class FakeTextBox : public GLTextBox {
  public:
    static constexpr int kCharWidth = 7;
    static constexpr int kLineHeight = 13;

    FakeTextBox(int width, int lines) : width_(width), lines_(lines < 1 ? 1 : lines) {}
    void setText(const std::string& text) override { text_ = text; }
    void draw(int, int) override {}
    void setBackground(bool) override {}
    int lineHeight() const override { return kLineHeight; }
    int textWidth() const override { return static_cast<int>(text_.size()) * kCharWidth; }
    int width() const override { return width_; }
    int height() const override { return lines_ * kLineHeight; }
    const std::string& text() const { return text_; }

  private:
    int width_, lines_;
    std::string text_;
};

class FakeDisplay : public GLDisplay {
  public:
    FakeDisplay(int width, int height) : width_(width), height_(height) {}
    void redrawNow() override { ++redrawsNow; }
    void requestRedraw() override { ++redrawRequests; }
    void swapBuffers() override {}
    bool makeCurrent() override { return true; }
    void setVerticalSync(bool) override {}
    void setMouseMoveEvents(bool) override {}
    int width() const override { return width_; }
    int height() const override { return height_; }
    void captureMouse() override {}
    void releaseMouse() override {}
    void startTimer(int, TimerListener*) override {}
    void stopTimer() override {}
    std::unique_ptr<GLTextBox> createTextBox(int width, int lines, bool, int) override {
        return std::make_unique<FakeTextBox>(width, lines);
    }

    int redrawsNow = 0;
    int redrawRequests = 0;

  private:
    int width_, height_;
};

} // namespace volumira::test
