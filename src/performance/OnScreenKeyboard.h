#pragma once

#include "performance/PianoHandler.h"

#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>

struct Session;
class MelodyVoices;
class ScoreNoteSilencer;

// The on-screen piano Picture1(0..64), the mute pad Label1 and the keyboard
// layout picture Picture2 / Image3 / Label3: what they show and what the
// mouse does on them. Geometry is in main-window pixels.
class OnScreenKeyboard : public QObject, public PianoHandler {
    Q_OBJECT
public:
    static constexpr int kKeys = 65;
    // Key pictures.
    static constexpr int kWhiteUp = 102;
    static constexpr int kWhitePressed = 103;
    static constexpr int kBlackUp = 104;
    static constexpr int kBlackPressed = 105;

    OnScreenKeyboard(Session &ctx, const MelodyVoices &voices, ScoreNoteSilencer &silencer,
                     QObject *parent = nullptr);

    // Where key o lies in the main window (empty rectangle for no key).
    static QRect keyRect(int offset);
    // The key under a main-window point, black keys first; -1 for none.
    static int keyAt(const QPoint &point);
    static QRect mutePadRect() { return QRect(0, 204, 988, 13); }
    static QString mutePadCaption();

    // Start-up: records each key's colour in KeyIsWhite and shows every key up.
    void initialiseKeys();

    // The picture each key shows (102..105).
    int picture(int offset) const;
    // Pressed picture / up picture of the key's own colour (as KeyIsWhite
    // records it). Offsets outside 0..64 are ignored.
    void showPressed(int offset);
    void showUp(int offset);

    // A drag over key o: stops the melody and the score's chord notes,
    // sounds o on the voices that are not silent and draws it pressed.
    void strike(int offset);
    // The mouse moved over the mute pad: stops the melody note.
    void mutePadMoved();

    // The mouse on the keys: a press strikes the key; while the button stays
    // down every move strikes the key under the pointer again, and passing
    // from one key to the next strikes the key being left once more before
    // the new one. Nothing happens while the keys are disabled.
    void pianoPressed(int key) override;
    void pianoMovedTo(int key) override;
    void pianoReleased() override;
    void mutePadTouched() override { mutePadMoved(); }

    // The keys take the mouse and the mute pad is shown only while the
    // keyboard button has the focus.
    bool keysEnabled() const { return keysEnabled_; }
    bool mutePadVisible() const { return keysEnabled_; }
    void setKeysEnabled(bool enabled);

    // Layout picture: small (start) or large.
    bool layoutLarge() const { return large_; }
    QRect picture2Geometry() const;
    QSize image3Size() const { return picture2Geometry().size(); }
    QString label3Caption() const;
    static QPoint label3Position() { return QPoint(435, 204); }
    void layoutClicked();

signals:
    void pictureChanged(int offset, int picture);
    void keysEnabledChanged(bool enabled);
    void layoutChanged();
    // The mute pad silenced the melody.
    void muted();

private:
    bool keyIsWhite(int offset) const;
    void setPicture(int offset, int picture);
    static bool validOffset(int offset) { return offset >= 0 && offset < kKeys; }

    Session &ctx_;
    const MelodyVoices &voices_;
    ScoreNoteSilencer &silencer_;
    bool dragging_ = false;
    int dragKey_ = -1;  // the key under the pointer during a drag
    std::array<int, kKeys> pictures_{};
    bool keysEnabled_ = false;
    bool large_ = false;
};
