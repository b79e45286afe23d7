#pragma once

#include <cstdint>

namespace volumira {

// Keyboard input: typed characters (Unicode code points) and the eight navigation keys of NavigationKey.
class KeyListener {
  public:
    virtual ~KeyListener() = default;
    virtual bool keyChar(char32_t character, int modifiers, std::uint32_t time);
    virtual bool keySpecial(int code, int modifiers, std::uint32_t time);
};

} // namespace volumira
