#include "performance/KeyTable.h"

namespace KeyTable {

namespace {

const std::array<NoteKey, kNoteKeyCount> kNoteKeys = {{
    // lowest octave: 1 .. 7
    {0x31, 0, "LC", 401}, {0x32, 2, "LD", 402}, {0x33, 4, "LE", 403}, {0x34, 5, "LF", 404},
    {0x35, 7, "LG", 405}, {0x36, 9, "LA", 406}, {0x37, 11, "LB", 407},
    // low octave: Q .. U
    {0x51, 12, "WC", 408}, {0x57, 14, "WD", 409}, {0x45, 16, "WE", 410}, {0x52, 17, "WF", 411},
    {0x54, 19, "WG", 412}, {0x59, 21, "WA", 413}, {0x55, 23, "WB", 414},
    // middle octave: A .. J
    {0x41, 24, "KC", 415}, {0x53, 26, "KD", 416}, {0x44, 28, "KE", 417}, {0x46, 29, "KF", 418},
    {0x47, 31, "KG", 419}, {0x48, 33, "KA", 420}, {0x4A, 35, "KB", 421},
    // high octave: Z .. M
    {0x5A, 36, "HC", 422}, {0x58, 38, "HD", 423}, {0x43, 40, "HE", 424}, {0x56, 41, "HF", 425},
    {0x42, 43, "HG", 426}, {0x4E, 45, "HA", 427}, {0x4D, 47, "HB", 428},
    // highest octave: 8 9 0 - = and "\" (which shows the help of "=")
    {0x38, 48, "MC", 429}, {0x39, 50, "MD", 430}, {0x30, 52, "ME", 431}, {0xBD, 53, "MF", 432},
    {0xBB, 55, "MG", 433}, {0xDC, 57, "MA", 433},
}};

int octaveValue(QChar c)
{
    switch (c.unicode()) {
    case 'L': return 0;
    case 'W': return 12;
    case 'K': return 24;
    case 'H': return 36;
    case 'M': return 48;
    default: return -1;
    }
}

int noteValue(QChar c)
{
    switch (c.unicode()) {
    case 'C': return 0;
    case 'D': return 2;
    case 'E': return 4;
    case 'F': return 5;
    case 'G': return 7;
    case 'A': return 9;
    case 'B': return 11;
    default: return -1;
    }
}

}  // namespace

const std::array<NoteKey, kNoteKeyCount> &noteKeys()
{
    return kNoteKeys;
}

const NoteKey *lookup(int keyCode)
{
    for (const NoteKey &k : kNoteKeys) {
        if (k.keyCode == keyCode)
            return &k;
    }
    return nullptr;
}

const NoteKey *keyForOffset(int offset)
{
    for (const NoteKey &k : kNoteKeys) {
        if (k.offset == offset)
            return &k;
    }
    return nullptr;
}

KeyRole roleOf(int keyCode)
{
    if (keyCode >= kF1 && keyCode <= kF12)
        return KeyRole::Combination;
    if (keyCode >= kKeypad0 && keyCode <= kKeypad9)
        return KeyRole::Rhythm;
    switch (keyCode) {
    case kSpace: return KeyRole::Stop;
    case kBackspace: return KeyRole::Rest;
    case 0x49: case 0x4B: case 0x4C: case 0x4F: case 0xBC: case 0xBE:
        return KeyRole::Chord;
    case 0x50: case 0xBA: case 0xBF: case 0xDB: case 0xDD: case 0xDE:
        return KeyRole::Effect;
    default:
        break;
    }
    return lookup(keyCode) ? KeyRole::Note : KeyRole::None;
}

int codeToOffset(QStringView code)
{
    if (code.size() != 2)
        return -1;
    const int octave = octaveValue(code[0]);
    const int note = noteValue(code[1]);
    if (octave < 0 || note < 0)
        return -1;
    return octave + note;
}

QString offsetToCode(int offset)
{
    if (offset < 0 || offset >= 60 || isBlackKey(offset))
        return QString();
    static const char octaves[] = "LWKHM";
    static const char notes[] = "C?D?EF?G?A?B";
    return QString(QChar(octaves[offset / 12])) + QChar(notes[offset % 12]);
}

bool isBlackKey(int offset)
{
    switch (((offset % 12) + 12) % 12) {
    case 1: case 3: case 6: case 8: case 10:
        return true;
    default:
        return false;
    }
}

}  // namespace KeyTable
