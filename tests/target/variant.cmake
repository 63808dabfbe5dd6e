# The data-logging image's engine variant on the Cortex-M4F: its golden streams (the same
# program as the device engine's, built with the variant, its catalogue and its regression
# data). The two engines keep the same entry points, so nothing here links the device
# engine's libraries.
add_library(target_synth_variant STATIC
  ${SRC}/tools/fall_synth/src/Generator.cpp
  ${SRC}/tools/fall_synth/src/VariantStreams.cpp
  ${SRC}/tools/fall_synth/src/Run.cpp
  ${SRC}/tools/fall_replay/src/ObserveVariant.cpp
  ${SRC}/tests/replay/ExpectedStreams.cpp)
target_compile_definitions(target_synth_variant PRIVATE
  EXPECTED_STREAMS_INC="expected_variant_streams.inc")
target_include_directories(target_synth_variant PUBLIC
  ${SRC}/tools/fall_synth/include ${SRC}/tools/fall_replay/include ${SRC}/tests/replay)
target_link_libraries(target_synth_variant PUBLIC fall_detector_variant)
firmware_target_options(target_synth_variant)

qemu_program(target_variant_golden_streams golden_streams_main.cpp)
target_link_libraries(target_variant_golden_streams PRIVATE target_synth_variant)
add_test(NAME target_variant_golden_streams
  COMMAND ${QEMU_SYSTEM_ARM} ${QEMU_ARGS} -kernel $<TARGET_FILE:target_variant_golden_streams>)
set_tests_properties(target_variant_golden_streams PROPERTIES TIMEOUT 300)
