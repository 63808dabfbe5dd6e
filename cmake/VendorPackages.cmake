# The microcontroller vendor's packages, dependencies of the board build and of the
# seam's conformance test: the STM32L4 HAL driver, the STM32L4 CMSIS device files and
# the CMSIS core headers, at the releases the vendor's STM32CubeL4 bundle pins together.
#
# They come from upstream with FetchContent. Where a copy of those releases sits beside
# the repository (../shared/vendor, with one folder per package) it is used instead, so
# that the build works without a network; FETCHCONTENT_SOURCE_DIR_<PACKAGE> given on the
# command line points at any other copy. Nothing of them is copied into the project.
#
# Sets STM32_HAL_DRIVER_DIR, STM32_CMSIS_DEVICE_DIR and STM32_CMSIS_CORE_DIR.
include(FetchContent)

set(STM32_VENDOR_COPY "${CMAKE_SOURCE_DIR}/../shared/vendor" CACHE PATH
  "A local copy of the vendor's packages, one folder per package (used when it exists)")

set(_vendor_packages
  "stm32l4xx_hal_driver|https://github.com/STMicroelectronics/stm32l4xx_hal_driver.git|v1.13.5"
  "cmsis_device_l4|https://github.com/STMicroelectronics/cmsis_device_l4.git|v1.7.4"
  "cmsis_core|https://github.com/STMicroelectronics/cmsis_core.git|v5.6.0_cm4")

foreach(entry IN LISTS _vendor_packages)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 name)
  list(GET fields 1 repository)
  list(GET fields 2 tag)
  string(TOUPPER "${name}" upper)
  if(NOT DEFINED FETCHCONTENT_SOURCE_DIR_${upper} AND EXISTS "${STM32_VENDOR_COPY}/${name}")
    get_filename_component(copy "${STM32_VENDOR_COPY}/${name}" ABSOLUTE)
    set(FETCHCONTENT_SOURCE_DIR_${upper} "${copy}")
  endif()
  # The packages have no CMake build of their own: SOURCE_SUBDIR names a folder that
  # does not exist, so that making them available only fetches them.
  FetchContent_Declare(${name}
    GIT_REPOSITORY ${repository}
    GIT_TAG ${tag}
    GIT_SHALLOW TRUE
    SOURCE_SUBDIR no-cmake-build)
endforeach()
FetchContent_MakeAvailable(stm32l4xx_hal_driver cmsis_device_l4 cmsis_core)

set(STM32_HAL_DRIVER_DIR "${stm32l4xx_hal_driver_SOURCE_DIR}")
set(STM32_CMSIS_DEVICE_DIR "${cmsis_device_l4_SOURCE_DIR}")
set(STM32_CMSIS_CORE_DIR "${cmsis_core_SOURCE_DIR}")
foreach(dir STM32_HAL_DRIVER_DIR STM32_CMSIS_DEVICE_DIR STM32_CMSIS_CORE_DIR)
  if(NOT EXISTS "${${dir}}")
    message(FATAL_ERROR "${dir}: the vendor's package is missing (${${dir}})")
  endif()
endforeach()
message(STATUS "Vendor HAL driver: ${STM32_HAL_DRIVER_DIR}")
