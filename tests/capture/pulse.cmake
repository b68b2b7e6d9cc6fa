# Tests of the PulseAudio driver. Most record from the private server that
# scripts/test starts (scripts/pulse-test-server) and skip without it.
add_executable(capture_pulse_tests
  PulseDriverTest.cpp
  PulseFormatTest.cpp
  PulseHeaderQueueTest.cpp
  PulseRecorderTest.cpp
  PulseRecordingSink.cpp PulseRecordingSink.h
  PulseSpectrum.cpp PulseSpectrum.h
  PulseStreamTest.cpp
  PulseTestBuffers.h
  PulseTestMain.cpp
  PulseTestServer.cpp PulseTestServer.h)
target_link_libraries(capture_pulse_tests PRIVATE
  vireon_capture vireon_dsp vireon_alloc_counter vireon_event_pump GTest::gtest Qt6::Core)
target_compile_definitions(capture_pulse_tests PRIVATE VIREON_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_compile_options(capture_pulse_tests PRIVATE -Wall -Wextra)

include(GoogleTest)
# They share one server and load and unload sources on it, which moves device
# numbers: one at a time.
gtest_discover_tests(capture_pulse_tests DISCOVERY_TIMEOUT 60
  PROPERTIES RESOURCE_LOCK vireon_pulse_test_server)
