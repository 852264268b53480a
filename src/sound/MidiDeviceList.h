#pragma once

#include "sound/MidiPort.h"

#include <QObject>
#include <QVector>

// The device list ComDevies (main window and editor alike): lists the MIDI
// outputs and opens the chosen one on the one shared port.
class MidiDeviceList : public QObject {
    Q_OBJECT
public:
    explicit MidiDeviceList(MidiPort &port, QObject *parent = nullptr);

    // Fills the list afresh (ListMidiDevices); nothing is selected.
    bool refresh();
    const QVector<MidiDeviceEntry> &entries() const { return entries_; }
    int position() const { return position_; }

    // A selection (click or text change) opens the entry's device; a position
    // without an entry selects nothing and opens nothing.
    void select(int position);

signals:
    void entriesChanged();
    void positionChanged(int position);

private:
    MidiPort &port_;
    QVector<MidiDeviceEntry> entries_;
    int position_ = -1;
};
