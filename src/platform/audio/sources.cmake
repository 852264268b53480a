# Sound output: the built-in synthesizer, the audio engine and its device outputs,
# buffer policy and memory, real-time priority.
dzq_room(platform/audio
  USES core
  PACKAGES PkgConfig::FLUIDSYNTH PkgConfig::GLIB PkgConfig::RTAUDIO PkgConfig::JACK Qt6::DBus $<$<PLATFORM_ID:Linux>:PkgConfig::PULSE> $<$<PLATFORM_ID:Linux>:PkgConfig::ALSA>
  SOURCES
  src/platform/audio/SoundLog.h src/platform/audio/SoundLog.cpp
  src/platform/audio/SynthSetup.h src/platform/audio/SynthSetup.cpp
  src/platform/audio/SynthLock.h
  src/platform/audio/FontFile.h src/platform/audio/FontFile.cpp
  src/platform/audio/FontCheck.h src/platform/audio/FontCheck.cpp
  src/platform/audio/ChannelMemory.h src/platform/audio/ChannelMemory.cpp
  src/platform/audio/ProgramCache.h src/platform/audio/ProgramCache.cpp
  src/platform/audio/DeviceOutput.h src/platform/audio/DeviceOutput.cpp
  src/platform/audio/UnderrunPolicy.h
  src/platform/audio/BufferMemory.h src/platform/audio/BufferMemory.cpp
  src/platform/audio/SoundFontMemory.h src/platform/audio/SoundFontMemory.cpp
  src/platform/audio/RealtimeKit.h src/platform/audio/RealtimeKit.cpp
  src/platform/audio/PulseOutput.h src/platform/audio/PulseOutput.cpp
  src/platform/audio/RtAudioOutput.h src/platform/audio/RtAudioOutput.cpp
  src/platform/audio/JackServer.h src/platform/audio/JackServer.cpp
  src/platform/audio/JackOutput.h src/platform/audio/JackOutput.cpp
  src/platform/audio/AudioEngine.h src/platform/audio/AudioEngine.cpp
)
