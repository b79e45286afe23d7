#pragma once

#include <cstdint>

namespace volumira {

// Pointer input in window client pixels (origin top-left, y downwards). Times are the platform's
// millisecond message times; differences are taken as unsigned 32-bit values. Every default ignores
// the event and reports it as not handled.
class MouseListener {
  public:
    virtual ~MouseListener() = default;
    virtual bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time);
    virtual bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time);
    virtual bool mouseDoubleClick(int button, int x, int y, int modifiers, std::uint32_t time);
    virtual bool mouseMove(int x, int y, int modifiers, std::uint32_t time);
    virtual bool mouseLeave(std::uint32_t time);
    // delta: signed wheel amount of one message, 120 per notch, positive away from the user; x and y are
    // whatever the platform reports with the wheel message.
    virtual bool mouseWheel(int x, int y, int modifiers, int delta, std::uint32_t time);
    virtual void mouseCaptureLost();
};

} // namespace volumira
