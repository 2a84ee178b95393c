// From Qt key events to the PC keys of the host key table. A key is named
// by where it sits on the keyboard, not by the character it types, so
// Shift+1 is Shift and 1 and its release matches its press.
#pragma once

#include <QString>
#include <Qt>

#include "host/host_keys.h"

class QKeyEvent;

namespace pellux {

// Which native field of a key event names the physical key.
enum class NativeKeys {
  None,               // neither: go by key() (offscreen tests, other platforms)
  X11Keycode,         // nativeScanCode() is the X keycode (evdev code + 8): X11 and Wayland
  WindowsVirtualKey,  // nativeVirtualKey() is Windows' virtual-key code
};

NativeKeys NativeKeysOfPlatform(const QString& platformName);

// Each answers PcKey::None for a key it does not know.
PcKey PcKeyFromX11Keycode(unsigned keycode);
PcKey PcKeyFromWindowsVirtualKey(unsigned virtualKey);
// Keys that Shift changes on a US layout go back to their own key ('!' is 1);
// the keypad modifier picks the keypad's digits and operators.
PcKey PcKeyFromQtKey(int key, Qt::KeyboardModifiers modifiers);

// Whether a key combination may be a menu item's key: it presses no
// calculator key on its way (Alt combinations never reach the calculator;
// without Alt, the key and its modifiers must be absent from the host key
// table) and is none of the window's own (Pause, F10, F11).
bool IsFreeForShortcut(QKeyCombination combination);

// The PC key of an event; key() decides when both native fields are 0 or
// the X keycode is unknown.
PcKey PcKeyOf(const QKeyEvent& event, NativeKeys native);

}  // namespace pellux
