#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <array>

// One computer key that plays a note: its key code (US layout), the note
// offset above KeyBase, the two-letter note code the score writes, and the
// string-table entry that explains the key.
struct NoteKey {
    qint16 keyCode = 0;
    qint16 offset = 0;
    const char *code = "";
    qint16 helpId = 0;
};

// What a computer key does in the keyboard handler.
enum class KeyRole {
    None,         // nothing
    Note,         // one of the 34 note keys
    Rest,         // Backspace: rest (XZ)
    Stop,         // Space: stop (TZ)
    Combination,  // F1-F12: instrument combinations
    Chord,        // I O K L , . : chord keys
    Effect,       // P ; / [ ] ' : special effects
    Rhythm,       // keypad 0-9: built-in rhythms
};

// The keys of the keyboard, the note codes and the key colours of the
// on-screen piano. Pure data and arithmetic.
namespace KeyTable {

constexpr int kNoteKeyCount = 34;
constexpr qint16 kBackspace = 8;
constexpr qint16 kSpace = 32;
constexpr qint16 kF1 = 0x70;
constexpr qint16 kF12 = 0x7B;
constexpr qint16 kKeypad0 = 0x60;
constexpr qint16 kKeypad9 = 0x69;
constexpr int kLowestOffset = 0;
constexpr int kHighestOffset = 64;

// The 34 note keys, octave by octave, C to B.
const std::array<NoteKey, kNoteKeyCount> &noteKeys();

// The note key with this key code, or nullptr for any other key.
const NoteKey *lookup(int keyCode);

// What the key does in the keyboard handler.
KeyRole roleOf(int keyCode);

// The note key that plays this offset, or nullptr when none does (black
// keys, MB and the offsets above MA).
const NoteKey *keyForOffset(int offset);

// Offset of a two-letter note code (octave L W K H M, note C D E F G A B);
// -1 for anything else.
int codeToOffset(QStringView code);

// The note code of a white-key offset 0..59, or an empty string.
QString offsetToCode(int offset);

// Black keys: offset modulo 12 is 1, 3, 6, 8 or 10.
bool isBlackKey(int offset);

// MIDI note of an offset.
inline qint16 midiNote(qint16 keyBase, qint16 offset) { return qint16(keyBase + offset); }

}  // namespace KeyTable
