#include "midiport/MidiDeviceList.h"

MidiDeviceList::MidiDeviceList(MidiPort &port, QObject *parent) : QObject(parent), port_(port)
{
    connect(&port_, &MidiPort::deviceChanged, this, &MidiDeviceList::followPort);
}

bool MidiDeviceList::refresh()
{
    const bool any = port_.ListMidiDevices(&entries_);
    emit entriesChanged();
    position_ = -2;  // shown afresh
    followPort();
    return any;
}

void MidiDeviceList::select(int position)
{
    if (position < 0 || position >= entries_.size())
        return;
    port_.OpenMidiDevice(entries_[position].id);
}

void MidiDeviceList::followPort()
{
    int position = -1;
    if (port_.isOpen()) {
        for (int i = 0; i < entries_.size(); ++i) {
            if (entries_[i].id == port_.openDeviceId()) {
                position = i;
                break;
            }
        }
    }
    if (position == position_)
        return;
    position_ = position;
    emit positionChanged(position_);
}
