list(APPEND DZQ_CORE_SOURCES
  src/sound/MidiPort.h src/sound/MidiPort.cpp
  src/sound/MidiDeviceList.h src/sound/MidiDeviceList.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/sound/DeviceListBox.h src/sound/DeviceListBox.cpp
)
