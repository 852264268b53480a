#include "midiport/DeviceListBox.h"

#include "midiport/MidiDeviceList.h"

#include <QComboBox>

namespace {

void fill(QComboBox *box, const MidiDeviceList &devices)
{
    box->clear();
    for (const MidiDeviceEntry &e : devices.entries())
        box->addItem(e.text, int(e.id));
    box->setCurrentIndex(devices.position());
}

}  // namespace

void showDeviceList(QComboBox *box, MidiDeviceList &devices, std::function<void()> chosen)
{
    QObject::connect(&devices, &MidiDeviceList::entriesChanged, box, [box, &devices] { fill(box, devices); });
    QObject::connect(&devices, &MidiDeviceList::positionChanged, box, &QComboBox::setCurrentIndex);
    QObject::connect(box, &QComboBox::activated, box, [&devices, chosen](int position) {
        devices.select(position);
        if (chosen)
            chosen();
    });
    fill(box, devices);
}
