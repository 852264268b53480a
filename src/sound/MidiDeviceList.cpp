#include "sound/MidiDeviceList.h"

MidiDeviceList::MidiDeviceList(MidiPort &port, QObject *parent) : QObject(parent), port_(port) {}

bool MidiDeviceList::refresh()
{
    const bool any = port_.ListMidiDevices(&entries_);
    position_ = -1;
    emit entriesChanged();
    emit positionChanged(position_);
    return any;
}

void MidiDeviceList::select(int position)
{
    if (position < 0 || position >= entries_.size())
        return;
    position_ = position;
    emit positionChanged(position_);
    port_.OpenMidiDevice(entries_[position].id);
}
