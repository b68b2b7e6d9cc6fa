# The PulseAudio driver of the wave-input layer, built into vireon_capture.
pkg_check_modules(LIBPULSE REQUIRED IMPORTED_TARGET libpulse)

target_sources(vireon_capture PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PulseConnection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PulseConnection.h
  ${CMAKE_CURRENT_LIST_DIR}/PulseDriver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PulseDriver.h
  ${CMAKE_CURRENT_LIST_DIR}/PulseFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PulseFormat.h
  ${CMAKE_CURRENT_LIST_DIR}/PulseSource.h
  ${CMAKE_CURRENT_LIST_DIR}/PulseStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PulseStream.h)
target_link_libraries(vireon_capture PUBLIC PkgConfig::LIBPULSE)
