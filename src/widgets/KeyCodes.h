#pragma once

#include <QString>
#include <Qt>
#include <QtGlobal>

class QKeyEvent;

// Translates key events into Windows virtual-key numbers, the key codes the
// program works with: letters 0x41-0x5A, digits 0x30-0x39, punctuation
// 0xBA-0xDE, keypad digits 0x60-0x69, F1-F12 0x70-0x7B, Space 32,
// Backspace 8 (and Tab, Enter, Escape as 9, 13, 27).
//
// Where the platform reports the physical key (X11 and Wayland: evdev scan
// code + 8; Windows: set-1 scan code), the key's position decides, read as
// on a US keyboard, so a French or German layout plays the same keys.
// Otherwise the Qt key decides.
namespace KeyCodes {

enum class ScanCodes {
    None,   // no usable scan codes: the Qt key decides
    Evdev,  // Linux: evdev code + 8 (xcb, wayland)
    Set1,   // Windows: set-1 scan code, 0x100 marks an extended key
};

// The scan-code kind of the running platform.
ScanCodes platformScanCodes();

// Key code of an event; 0 when the key has none.
int fromEvent(const QKeyEvent *event);

// The same from the event's parts, for any platform.
int fromKey(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode, ScanCodes kind);
// The position rule alone: the key code of a physical key, or 0.
int fromScanCode(quint32 nativeScanCode, ScanCodes kind);
// The Qt key rule alone: the key code of a Qt key, or 0.
int fromQtKey(int qtKey, Qt::KeyboardModifiers modifiers);

// The label of a key code as printed on a US keyboard ("A", "F5", "\",
// "Backspace", "0" for keypad 0 ...); empty for an unknown code.
QString keyName(int keyCode);

}  // namespace KeyCodes
