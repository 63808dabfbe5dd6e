# Cross toolchain for the STM32L431 (Cortex-M4F, single-precision FPU, hard-float ABI).
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_ASM_COMPILER arm-none-eabi-gcc)
set(CMAKE_OBJCOPY arm-none-eabi-objcopy)
set(CMAKE_SIZE arm-none-eabi-size)

# Nothing can be run on the build machine; try_compile builds a static library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(ARM_CPU_FLAGS "-mcpu=cortex-m4 -mthumb -mfpu=fpv4-sp-d16 -mfloat-abi=hard")
set(CMAKE_C_FLAGS_INIT "${ARM_CPU_FLAGS} -ffunction-sections -fdata-sections --specs=nano.specs")
set(CMAKE_CXX_FLAGS_INIT "${ARM_CPU_FLAGS} -ffunction-sections -fdata-sections --specs=nano.specs -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-use-cxa-atexit")
set(CMAKE_ASM_FLAGS_INIT "${ARM_CPU_FLAGS}")
# nano.specs comes with the compile flags, which take part in linking too; naming it here
# again would make the driver refuse a second specs file (rdimon.specs, nosys.specs).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--gc-sections")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
