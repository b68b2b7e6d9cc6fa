# Tests of the PulseAudio driver. Most record from the private server that
# scripts/test starts (scripts/pulse-test-server, scripts/pipewire-test-server)
# and skip without it (fail under CI=true).

# The helpers for tests against that server, for any test program.
add_library(vireon_pulse_test_support STATIC
  PulseRecordingSink.cpp PulseRecordingSink.h
  PulseSpectrum.cpp PulseSpectrum.h
  PulseTestBuffers.h
  PulseTestServer.cpp PulseTestServer.h)
target_include_directories(vireon_pulse_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vireon_pulse_test_support PUBLIC vireon_capture vireon_dsp GTest::gtest)

add_executable(capture_pulse_tests
  PulseDriverTest.cpp
  PulseFormatTest.cpp
  PulseRecorderTest.cpp
  PulseStreamTest.cpp
  StreamRulesTest.cpp
  PulseTestMain.cpp)
target_link_libraries(capture_pulse_tests PRIVATE
  vireon_pulse_test_support vireon_capture vireon_dsp vireon_alloc_counter vireon_event_pump
  GTest::gtest Qt6::Core)
target_compile_options(capture_pulse_tests PRIVATE -Wall -Wextra)

include(GoogleTest)
# They share one server and load and unload sources on it, which moves device
# numbers: one at a time. Every test that needs the sound server takes that
# lock and carries the label "sound", which scripts/test runs against each
# server: PROPERTIES RESOURCE_LOCK vireon_pulse_test_server LABELS sound (a
# single label, as CMake 3.25 splits a list given here).
gtest_discover_tests(capture_pulse_tests DISCOVERY_TIMEOUT 60 TEST_FILTER "-*DeliversInBursts*"
  PROPERTIES RESOURCE_LOCK vireon_pulse_test_server LABELS sound)
# Only PulseAudio has a source that hands its sound over in bursts (its sine
# source): this test runs with the PulseAudio server alone, label "pulseaudio".
gtest_discover_tests(capture_pulse_tests DISCOVERY_TIMEOUT 60 TEST_FILTER "*DeliversInBursts*"
  PROPERTIES RESOURCE_LOCK vireon_pulse_test_server LABELS pulseaudio)
