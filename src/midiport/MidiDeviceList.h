#pragma once

#include "midiport/MidiPort.h"

#include <QObject>
#include <QString>
#include <QVector>

class SoundFontChoice;
class UserDialogs;

// A device list ComDevies (the main window's and the editor's alike): lists
// the MIDI outputs and opens the chosen one on the one shared port. The list
// shows the device the port has open, whoever opened it.
//
// With a sound font choice, the built-in synthesizer follows the devices
// once per font found ("内置合成器：FluidR3_GM", the one playing marked
// "（当前）"), then an entry that picks any SF2/SF3 file. Choosing one opens
// the built-in synthesizer (if another device was open) and switches its
// font; the list then shows the synthesizer's own entry again.
class MidiDeviceList : public QObject {
    Q_OBJECT
public:
    // The device the sound font entries play through: the built-in synthesizer.
    static constexpr qint16 kSynthesizerId = 0;

    explicit MidiDeviceList(MidiPort &port, QObject *parent = nullptr);

    // Offers the fonts of `choice`, picking files through `dialogs`.
    void setSoundFontChoice(SoundFontChoice *choice, UserDialogs *dialogs);

    // Fills the list afresh (ListMidiDevices), the font entries after the devices.
    bool refresh();
    // Lists the font entries afresh (another font plays now); the devices stay.
    void refreshFonts();
    // Devices, then font entries (whose id is the synthesizer's).
    const QVector<MidiDeviceEntry> &entries() const { return entries_; }
    // How many of entries() are devices.
    int deviceCount() const { return deviceCount_; }
    // The entry of the open device; -1 while none is open or listed.
    int position() const { return position_; }

    // A selection (click or text change) opens the entry's device; a position
    // without an entry selects nothing and opens nothing.
    void select(int position);

    static QString fontEntryText(const QString &path, bool current);
    static QString pickEntryText();
    // The file dialog's filter ("description|patterns").
    static QString fontFileFilter();

signals:
    void entriesChanged();
    void positionChanged(int position);

private:
    void followPort();
    void listFonts();
    void chooseFont(const QString &path);
    QString pickFontFile();

    MidiPort &port_;
    SoundFontChoice *fonts_ = nullptr;
    UserDialogs *dialogs_ = nullptr;
    QVector<MidiDeviceEntry> entries_;
    int deviceCount_ = 0;
    bool listed_ = false;  // refresh() has run
    QStringList fontPaths_;  // per font entry; the pick entry follows them
    int position_ = -1;
};
