# The output drivers (PulseAudio, RtAudio's ALSA, JACK, a render thread of
# our own), their control on the owner thread (choice, buffer policy,
# real-time priority) and the sound log the libraries' messages go to.
dzq_room(platform/audio/drivers
  USES core platform/audio/realtime
  PACKAGES PkgConfig::FLUIDSYNTH PkgConfig::GLIB PkgConfig::RTAUDIO PkgConfig::JACK Qt6::DBus $<$<PLATFORM_ID:Linux>:PkgConfig::PULSE> $<$<PLATFORM_ID:Linux>:PkgConfig::ALSA>
  SOURCES
  src/platform/audio/drivers/SoundLog.h src/platform/audio/drivers/SoundLog.cpp
  src/platform/audio/drivers/DeviceOutput.h src/platform/audio/drivers/DeviceOutput.cpp
  src/platform/audio/drivers/UnderrunPolicy.h
  src/platform/audio/drivers/RealtimeKit.h src/platform/audio/drivers/RealtimeKit.cpp
  src/platform/audio/drivers/PulseOutput.h src/platform/audio/drivers/PulseOutput.cpp
  src/platform/audio/drivers/RtAudioOutput.h src/platform/audio/drivers/RtAudioOutput.cpp
  src/platform/audio/drivers/JackServer.h src/platform/audio/drivers/JackServer.cpp
  src/platform/audio/drivers/JackOutput.h src/platform/audio/drivers/JackOutput.cpp
  src/platform/audio/drivers/RenderThread.h src/platform/audio/drivers/RenderThread.cpp
  src/platform/audio/drivers/OutputControl.h src/platform/audio/drivers/OutputControl.cpp
)
