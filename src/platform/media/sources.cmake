# The recorder's media device: command strings, take recording and repair,
# WAV playback and writing, libsndfile I/O, the offline renderer of WAV files.
dzq_room(platform/media
  USES platform/audio platform/audio/drivers platform/files
  PACKAGES PkgConfig::SNDFILE PkgConfig::SAMPLERATE PkgConfig::FLUIDSYNTH
  SOURCES
  src/platform/media/WavWriter.h src/platform/media/WavWriter.cpp
  src/platform/media/MediaDevice.h src/platform/media/MediaDevice.cpp
  src/platform/media/MediaCommand.h src/platform/media/MediaCommand.cpp
  src/platform/media/SndfileIo.h src/platform/media/SndfileIo.cpp
  src/platform/media/TakeRepair.h src/platform/media/TakeRepair.cpp
  src/platform/media/TakeRecorder.h src/platform/media/TakeRecorder.cpp
  src/platform/media/WavePlayback.h src/platform/media/WavePlayback.cpp
  src/platform/media/EngineMediaDevice.h src/platform/media/EngineMediaDevice.cpp
  src/platform/media/OfflineRenderer.h src/platform/media/OfflineRenderer.cpp
)
