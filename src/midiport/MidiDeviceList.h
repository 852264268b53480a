#pragma once

#include "midiport/MidiPort.h"

#include <QObject>
#include <QVector>

// A device list ComDevies (the main window's and the editor's alike): lists
// the MIDI outputs and opens the chosen one on the one shared port. The list
// shows the device the port has open, whoever opened it.
class MidiDeviceList : public QObject {
    Q_OBJECT
public:
    explicit MidiDeviceList(MidiPort &port, QObject *parent = nullptr);

    // Fills the list afresh (ListMidiDevices).
    bool refresh();
    const QVector<MidiDeviceEntry> &entries() const { return entries_; }
    // The entry of the open device; -1 while none is open or listed.
    int position() const { return position_; }

    // A selection (click or text change) opens the entry's device; a position
    // without an entry selects nothing and opens nothing.
    void select(int position);

signals:
    void entriesChanged();
    void positionChanged(int position);

private:
    void followPort();

    MidiPort &port_;
    QVector<MidiDeviceEntry> entries_;
    int position_ = -1;
};
