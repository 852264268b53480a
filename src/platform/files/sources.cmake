# Files: GBK text files, durable saves, the record folder, the single-instance lock.
dzq_room(platform/files
  SOURCES
  src/platform/files/SingleInstance.h src/platform/files/SingleInstance.cpp
  src/platform/files/RecordFolder.h src/platform/files/RecordFolder.cpp
  src/platform/files/TextFiles.h src/platform/files/TextFiles.cpp
  src/platform/files/DurableSave.h src/platform/files/DurableSave.cpp
)
