# Sound output: the built-in synthesizer, the audio engine and its device outputs,
# buffer policy and memory, real-time priority.
list(APPEND DZQ_CORE_SOURCES
  src/platform/audio/drivers/SoundLog.h src/platform/audio/drivers/SoundLog.cpp
  src/platform/audio/SynthSetup.h src/platform/audio/SynthSetup.cpp
  src/platform/audio/SynthLock.h
  src/platform/audio/FontFile.h src/platform/audio/FontFile.cpp
  src/platform/audio/FontCheck.h src/platform/audio/FontCheck.cpp
  src/platform/audio/ChannelMemory.h src/platform/audio/ChannelMemory.cpp
  src/platform/audio/ProgramCache.h src/platform/audio/ProgramCache.cpp
  src/platform/audio/drivers/DeviceOutput.h src/platform/audio/drivers/DeviceOutput.cpp
  src/platform/audio/drivers/UnderrunPolicy.h
  src/platform/audio/BufferMemory.h src/platform/audio/BufferMemory.cpp
  src/platform/audio/SoundFontMemory.h src/platform/audio/SoundFontMemory.cpp
  src/platform/audio/drivers/RealtimeKit.h src/platform/audio/drivers/RealtimeKit.cpp
  src/platform/audio/drivers/PulseOutput.h src/platform/audio/drivers/PulseOutput.cpp
  src/platform/audio/drivers/RtAudioOutput.h src/platform/audio/drivers/RtAudioOutput.cpp
  src/platform/audio/drivers/JackServer.h src/platform/audio/drivers/JackServer.cpp
  src/platform/audio/drivers/JackOutput.h src/platform/audio/drivers/JackOutput.cpp
  src/platform/audio/drivers/RenderThread.h src/platform/audio/drivers/RenderThread.cpp
  src/platform/audio/drivers/OutputControl.h src/platform/audio/drivers/OutputControl.cpp
  src/platform/audio/SynthHost.h src/platform/audio/SynthHost.cpp
  src/platform/audio/AudioEngine.h src/platform/audio/AudioEngine.cpp
)
