# Copies the shipped files of the record folder beside the program, leaving
# files that are already there (the user's own changes) alone.
file(GLOB_RECURSE shipped RELATIVE "${SOURCE}" "${SOURCE}/*")
foreach(name IN LISTS shipped)
  if(NOT EXISTS "${TARGET}/${name}")
    get_filename_component(dir "${TARGET}/${name}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${SOURCE}/${name}" "${TARGET}/${name}")
  endif()
endforeach()
file(MAKE_DIRECTORY "${TARGET}/演奏记录")
