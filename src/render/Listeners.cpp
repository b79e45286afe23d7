#include "render/KeyListener.h"
#include "render/MouseListener.h"

namespace volumira {

bool MouseListener::mouseDown(int, int, int, int, std::uint32_t) {
    return false;
}
bool MouseListener::mouseUp(int, int, int, int, std::uint32_t) {
    return false;
}
bool MouseListener::mouseDoubleClick(int, int, int, int, std::uint32_t) {
    return false;
}
bool MouseListener::mouseMove(int, int, int, std::uint32_t) {
    return false;
}
bool MouseListener::mouseLeave(std::uint32_t) {
    return false;
}
bool MouseListener::mouseWheel(int, int, int, int, std::uint32_t) {
    return false;
}
void MouseListener::mouseCaptureLost() {}

bool KeyListener::keyChar(char32_t, int, std::uint32_t) {
    return false;
}
bool KeyListener::keySpecial(int, int, std::uint32_t) {
    return false;
}

} // namespace volumira
