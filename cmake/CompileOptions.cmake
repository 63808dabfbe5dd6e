# Options shared by every target of every preset. The engine must give the same
# bits on the host and on the Cortex-M4F, so no floating-point contraction anywhere.
add_compile_options(
  -Wall -Wextra -Werror
  -ffp-contract=off
)

# Firmware sources are built without exceptions and RTTI on every preset, so that
# the host build catches what the target build would refuse.
set(FIRMWARE_COMPILE_OPTIONS -fno-exceptions -fno-rtti)
function(firmware_target_options target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${FIRMWARE_COMPILE_OPTIONS}>)
endfunction()
