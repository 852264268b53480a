#include "performance/OnScreenKeyboard.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "performance/KeyTable.h"
#include "performance/MelodyVoices.h"
#include "performance/VoiceNotes.h"
#include "midiport/MidiPort.h"

namespace {
constexpr int kKeysTop = 216;
constexpr int kWhiteWidth = 26;
constexpr int kWhiteHeight = 121;
constexpr int kBlackWidth = 18;
constexpr int kBlackHeight = 69;
constexpr int kOctaveWidth = 182;  // seven white keys
}  // namespace

OnScreenKeyboard::OnScreenKeyboard(Session &ctx, const MelodyVoices &voices,
                                   ScoreNoteSilencer &silencer, QObject *parent)
    : QObject(parent), ctx_(ctx), voices_(voices), silencer_(silencer)
{
    // As designed, before start-up records the colours.
    for (int o = 0; o < kKeys; ++o)
        pictures_[size_t(o)] = KeyTable::isBlackKey(o) ? kBlackUp : kWhiteUp;
}

QRect OnScreenKeyboard::keyRect(int offset)
{
    if (!validOffset(offset))
        return QRect();
    const int octave = offset / 12;
    const int inOctave = offset % 12;
    if (KeyTable::isBlackKey(offset)) {
        int x = 0;
        switch (inOctave) {
        case 1: x = 14; break;
        case 3: x = 46; break;
        case 6: x = 92; break;
        case 8: x = 121; break;
        default: x = 150; break;
        }
        return QRect(kOctaveWidth * octave + x, kKeysTop, kBlackWidth, kBlackHeight);
    }
    // White keys before this one within the octave: C D E F G A B.
    static const int whiteIndex[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
    const int w = 7 * octave + whiteIndex[inOctave];
    return QRect(kWhiteWidth * w, kKeysTop, kWhiteWidth, kWhiteHeight);
}

int OnScreenKeyboard::keyAt(const QPoint &point)
{
    for (int o = 0; o < kKeys; ++o) {
        if (KeyTable::isBlackKey(o) && keyRect(o).contains(point))
            return o;
    }
    for (int o = 0; o < kKeys; ++o) {
        if (!KeyTable::isBlackKey(o) && keyRect(o).contains(point))
            return o;
    }
    return -1;
}

QString OnScreenKeyboard::mutePadCaption()
{
    const QString word = QStringLiteral("消    音    板");
    return word + QString(150, QLatin1Char(' ')) + word;
}

void OnScreenKeyboard::initialiseKeys()
{
    for (int o = 0; o < kKeys; ++o) {
        const bool white = !KeyTable::isBlackKey(o);
        ctx_.state.KeyIsWhite[size_t(o)] = white;
        setPicture(o, white ? kWhiteUp : kBlackUp);
    }
}

int OnScreenKeyboard::picture(int offset) const
{
    return validOffset(offset) ? pictures_[size_t(offset)] : 0;
}

bool OnScreenKeyboard::keyIsWhite(int offset) const
{
    return ctx_.state.KeyIsWhite[size_t(offset)];
}

void OnScreenKeyboard::setPicture(int offset, int picture)
{
    if (pictures_[size_t(offset)] == picture)
        return;
    pictures_[size_t(offset)] = picture;
    emit pictureChanged(offset, picture);
}

void OnScreenKeyboard::showPressed(int offset)
{
    if (validOffset(offset))
        setPicture(offset, keyIsWhite(offset) ? kWhitePressed : kBlackPressed);
}

void OnScreenKeyboard::showUp(int offset)
{
    if (validOffset(offset))
        setPicture(offset, keyIsWhite(offset) ? kWhiteUp : kBlackUp);
}

void OnScreenKeyboard::strike(int offset)
{
    if (!validOffset(offset) || !keysEnabled_)
        return;
    SharedState &s = ctx_.state;
    silencer_.SilenceScoreNotes();
    StartMelodyNote(s, ctx_.port, offset, voices_.soundingVoices());
    showPressed(offset);
    if (s.LastNoteOffset != offset)
        showUp(s.LastNoteOffset);
    s.LastNoteOffset = qint16(offset);
}

void OnScreenKeyboard::mutePadMoved()
{
    if (!mutePadVisible())
        return;
    SilenceMelodyNote(ctx_.state, ctx_.port);
    emit muted();
}

void OnScreenKeyboard::pianoPressed(int key)
{
    if (!keysEnabled_ || key < 0)
        return;
    dragging_ = true;
    dragKey_ = key;
    strike(key);
}

void OnScreenKeyboard::pianoMovedTo(int key)
{
    if (!dragging_ || !keysEnabled_)
        return;
    if (key != dragKey_ && dragKey_ >= 0)
        strike(dragKey_);  // the key being left
    if (key >= 0)
        strike(key);
    dragKey_ = key;
}

void OnScreenKeyboard::pianoReleased()
{
    dragging_ = false;
    dragKey_ = -1;
}

void OnScreenKeyboard::setKeysEnabled(bool enabled)
{
    if (enabled == keysEnabled_)
        return;
    keysEnabled_ = enabled;
    if (!enabled)
        pianoReleased();
    emit keysEnabledChanged(enabled);
}

QRect OnScreenKeyboard::picture2Geometry() const
{
    return large_ ? QRect(0, 0, 988, 204) : QRect(408, 152, 175, 51);
}

QString OnScreenKeyboard::label3Caption() const
{
    return large_ ? QStringLiteral("点击图片收回键盘分布") : QStringLiteral("点击图片查看键盘分布");
}

void OnScreenKeyboard::layoutClicked()
{
    large_ = !large_;
    emit layoutChanged();
}
