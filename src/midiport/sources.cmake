list(APPEND DZQ_CORE_SOURCES
  src/midiport/MidiPort.h src/midiport/MidiPort.cpp
  src/midiport/MidiDeviceList.h src/midiport/MidiDeviceList.cpp
  src/midiport/SoundFontChoice.h
)
list(APPEND DZQ_GUI_SOURCES
  src/midiport/DeviceListBox.h src/midiport/DeviceListBox.cpp
)
