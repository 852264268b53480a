#pragma once

#include <functional>

class MidiDeviceList;
class QComboBox;

// Makes a drop-down list show a MIDI device list: its entries, and the entry
// of the device the port has open (whichever window opened it). Choosing an
// entry opens that device; `chosen` runs afterwards.
void showDeviceList(QComboBox *box, MidiDeviceList &devices, std::function<void()> chosen = {});
