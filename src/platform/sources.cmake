# Adapters to the machine: built-in synthesizer and audio output, MIDI ports,
# WAV files, text files, the record folder, single instance, user dialogs,
# key codes, the signals that end the program.
list(APPEND DZQ_CORE_SOURCES
  src/platform/MidiMessage.h
  src/platform/MidiBackend.h
  src/platform/UserDialogs.h
  src/platform/SpscRing.h
  src/platform/SampleClock.h src/platform/SampleClock.cpp
  src/platform/SoundLog.h src/platform/SoundLog.cpp
  src/platform/SynthSetup.h src/platform/SynthSetup.cpp
  src/platform/MessageScheduler.h src/platform/MessageScheduler.cpp
  src/platform/DeviceOutput.h src/platform/DeviceOutput.cpp
  src/platform/UnderrunPolicy.h
  src/platform/BufferMemory.h src/platform/BufferMemory.cpp
  src/platform/RealtimeKit.h src/platform/RealtimeKit.cpp
  src/platform/PulseOutput.h src/platform/PulseOutput.cpp
  src/platform/RtAudioOutput.h src/platform/RtAudioOutput.cpp
  src/platform/AudioEngine.h src/platform/AudioEngine.cpp
  src/platform/WavWriter.h src/platform/WavWriter.cpp
  src/platform/OfflineRenderer.h src/platform/OfflineRenderer.cpp
  src/platform/ExternalMidiPorts.h
  src/platform/RtMidiPorts.h src/platform/RtMidiPorts.cpp
  src/platform/SystemMidiBackend.h src/platform/SystemMidiBackend.cpp
  src/platform/MidiLogBackend.h src/platform/MidiLogBackend.cpp
  src/platform/RecordedMidi.h src/platform/RecordedMidi.cpp
  src/platform/MidiFileWriter.h src/platform/MidiFileWriter.cpp
  src/platform/SingleInstance.h src/platform/SingleInstance.cpp
  src/platform/RecordFolder.h src/platform/RecordFolder.cpp
  src/platform/TextFiles.h src/platform/TextFiles.cpp
  src/platform/DurableSave.h src/platform/DurableSave.cpp
  src/platform/MediaDevice.h src/platform/MediaDevice.cpp
  src/platform/MediaCommand.h src/platform/MediaCommand.cpp
  src/platform/SndfileIo.h src/platform/SndfileIo.cpp
  src/platform/TakeRepair.h src/platform/TakeRepair.cpp
  src/platform/TakeRecorder.h src/platform/TakeRecorder.cpp
  src/platform/WavePlayback.h src/platform/WavePlayback.cpp
  src/platform/EngineMediaDevice.h src/platform/EngineMediaDevice.cpp
  src/platform/QuitSignals.h src/platform/QuitSignals.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/platform/QtUserDialogs.h src/platform/QtUserDialogs.cpp
  src/platform/KeyCodes.h src/platform/KeyCodes.cpp
  src/platform/ChoiceList.h src/platform/ChoiceList.cpp
  src/platform/WindowPlacement.h src/platform/WindowPlacement.cpp
)
