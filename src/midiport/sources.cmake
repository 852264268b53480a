dzq_room(midiport
  USES core platform/dialogs
  SOURCES
  src/midiport/MidiPort.h src/midiport/MidiPort.cpp
  src/midiport/MidiDeviceList.h src/midiport/MidiDeviceList.cpp
  src/midiport/SoundFontChoice.h
)
dzq_room_part(midiport views
  SOURCES
  src/midiport/DeviceListBox.h src/midiport/DeviceListBox.cpp
)
