#pragma once

namespace volumira {

// Values shared by every mouse and key listener.
enum MouseButton : int { kButtonLeft = 0, kButtonMiddle = 1, kButtonRight = 2 };

// Modifier bits passed with every input event.
enum ModifierFlag : int { kModifierShift = 1, kModifierControl = 2, kModifierAlt = 4 };

// The only non-character keys delivered to key listeners.
enum NavigationKey : int {
    kKeyUp = 1,
    kKeyDown = 2,
    kKeyLeft = 3,
    kKeyRight = 4,
    kKeyPageUp = 5,
    kKeyPageDown = 6,
    kKeyHome = 7,
    kKeyEnd = 8
};

} // namespace volumira
