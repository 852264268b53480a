#pragma once

#include <QObject>
#include <QtGlobal>

struct NoteKey;

// What the window in front does with the notes of a MIDI keyboard: on which
// melody channels they sound and how loud, which of them its score writes
// and how, and how its keys show them. It says when its player silenced the
// melody (Space, the mute pad): the MIDI keyboard's notes end then too.
class HardwareNoteTarget : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Channels 0 .. channels() - 1 carry the notes and the controllers.
    virtual int channels() const = 0;
    // The velocity of a note struck with full force (127) on that channel;
    // 0: the channel stays silent.
    virtual qint16 fullVelocity(int channel) const = 0;
    // The note key whose code a note at this offset writes, as the window's
    // own key would; nullptr: the note is not written.
    virtual const NoteKey *keyToWrite(int offset) const
    {
        Q_UNUSED(offset);
        return nullptr;
    }
    virtual void write(const NoteKey &key) { Q_UNUSED(key); }
    // True while the window keeps its score from the MIDI keyboard (the user
    // is editing it by hand): notes sound but are not written.
    virtual bool writingHeld() const { return false; }
    // A key of the MIDI keyboard went down or up at this offset.
    virtual void showKey(int offset, bool down)
    {
        Q_UNUSED(offset);
        Q_UNUSED(down);
    }

signals:
    void silenced();
};
