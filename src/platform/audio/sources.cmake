# The synthesizer's host on the owner thread (fonts, program cache, message
# routing) and the audio engine's facade over the processor and the drivers.
dzq_room(platform/audio
  USES core platform/audio/realtime platform/audio/drivers
  PACKAGES PkgConfig::FLUIDSYNTH
  SOURCES
  src/platform/audio/SynthSetup.h src/platform/audio/SynthSetup.cpp
  src/platform/audio/SynthLock.h
  src/platform/audio/FontFile.h src/platform/audio/FontFile.cpp
  src/platform/audio/FontRiff.h src/platform/audio/FontRiff.cpp
  src/platform/audio/FontCheck.h src/platform/audio/FontCheck.cpp
  src/platform/audio/FontSamples.h src/platform/audio/FontSamples.cpp
  src/platform/audio/ChannelMemory.h src/platform/audio/ChannelMemory.cpp
  src/platform/audio/ProgramCache.h src/platform/audio/ProgramCache.cpp
  src/platform/audio/BufferMemory.h src/platform/audio/BufferMemory.cpp
  src/platform/audio/SoundFontMemory.h src/platform/audio/SoundFontMemory.cpp
  src/platform/audio/SynthHost.h src/platform/audio/SynthHost.cpp
  src/platform/audio/AudioEngine.h src/platform/audio/AudioEngine.cpp
)
