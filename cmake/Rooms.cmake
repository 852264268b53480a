# The rooms of src/ as libraries: each room's logic is dzq_<room>, its
# windows dzq_<room>_views (and platform/midi's machine devices
# dzq_platform_midi_devices), "/" written "_". A library links privately the
# libraries of the rooms it uses and the packages its own sources use: a
# static library still hands them on to the final link, but nothing else, so
# an executable links only what the rooms it takes really need.
#
# In USES a room names its logic library, <room>:views its windows,
# <room>:devices its machine devices. scripts/check_layers.py reads these
# calls and holds them to docs/rooms.txt.

# The include path (src/) and Qt Core, for every room and test.
add_library(dzq_src INTERFACE)
target_include_directories(dzq_src INTERFACE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(dzq_src INTERFACE Qt6::Core Threads::Threads)

# The target of a room, or of one of its parts: rhythm -> dzq_rhythm,
# widgets:views -> dzq_widgets_views, platform/midi:devices -> dzq_platform_midi_devices.
function(dzq_room_target out name)
  string(REPLACE "/" "_" target "dzq_${name}")
  string(REPLACE ":" "_" target "${target}")
  set(${out} ${target} PARENT_SCOPE)
endfunction()

# Every library a room uses, checked to exist once all rooms are declared.
set_property(GLOBAL PROPERTY DZQ_ROOM_USES)

function(_dzq_room_library target)
  cmake_parse_arguments(R "" "" "USES;PACKAGES;SOURCES;OWN" ${ARGN})
  set(uses ${R_OWN})
  foreach(room ${R_USES})
    dzq_room_target(lib ${room})
    list(APPEND uses ${lib})
  endforeach()
  string(JOIN "," joined ${uses})
  set_property(GLOBAL APPEND PROPERTY DZQ_ROOM_USES "${target}=${joined}")
  # A room of headers only is an interface: nothing to compile.
  list(FILTER R_SOURCES INCLUDE REGEX "\\.cpp$")
  if(R_SOURCES)
    add_library(${target} STATIC)
    target_link_libraries(${target} PUBLIC dzq_src PRIVATE ${uses} ${R_PACKAGES})
    set(scope PRIVATE)
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE dzq_src ${uses} ${R_PACKAGES})
    set(scope INTERFACE)
  endif()
  set_property(TARGET ${target} PROPERTY DZQ_SCOPE ${scope})
endfunction()

# dzq_room(<room> [USES <room>[:views|:devices]...] [PACKAGES <target>...] SOURCES <file>...)
# The room's logic: Qt Core only.
function(dzq_room room)
  cmake_parse_arguments(R "" "" "USES;PACKAGES;SOURCES" ${ARGN})
  dzq_room_target(target ${room})
  _dzq_room_library(${target} USES ${R_USES} PACKAGES ${R_PACKAGES} SOURCES ${R_SOURCES})
  dzq_room_sources(${room} SOURCES ${R_SOURCES})
endfunction()

# dzq_room_part(<room> views|devices [USES ...] [PACKAGES ...] SOURCES <file>...)
# A part of a room over its logic: its windows (Qt Widgets) or its machine devices.
function(dzq_room_part room part)
  cmake_parse_arguments(R "" "" "USES;PACKAGES;SOURCES" ${ARGN})
  dzq_room_target(target ${room}:${part})
  dzq_room_target(logic ${room})
  set(own)
  if(TARGET ${logic})
    set(own ${logic})
  endif()
  set(packages ${R_PACKAGES})
  if(part STREQUAL "views")
    list(APPEND packages Qt6::Widgets)
  endif()
  _dzq_room_library(${target} OWN ${own} USES ${R_USES} PACKAGES ${packages} SOURCES ${R_SOURCES})
  dzq_room_sources(${room}:${part} SOURCES ${R_SOURCES})
endfunction()

# dzq_room_sources(<room>[:part] SOURCES <file>...)
# More files of a room declared elsewhere (a folder inside the room's own).
function(dzq_room_sources name)
  cmake_parse_arguments(R "" "" "SOURCES" ${ARGN})
  dzq_room_target(target ${name})
  get_property(scope TARGET ${target} PROPERTY DZQ_SCOPE)
  list(TRANSFORM R_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/)
  if(scope STREQUAL "PRIVATE")
    target_sources(${target} PRIVATE ${R_SOURCES})
  elseif(R_SOURCES MATCHES "\\.cpp(;|$)")
    message(FATAL_ERROR "${target} was declared with headers only")
  endif()
endfunction()

# Fails the configuration on a use of a room that has no such library.
function(dzq_check_room_uses)
  get_property(all GLOBAL PROPERTY DZQ_ROOM_USES)
  foreach(entry ${all})
    string(REGEX REPLACE "[=,]" ";" parts "${entry}")
    list(POP_FRONT parts target)
    foreach(lib ${parts})
      if(NOT TARGET ${lib})
        message(FATAL_ERROR "${target} uses ${lib}, which is no room's library")
      endif()
    endforeach()
  endforeach()
endfunction()
