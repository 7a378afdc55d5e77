# Debian's build flags, hardening included, so that the programs of a build that is packaged
# are built as Debian builds its own: dpkg-buildflags (package dpkg-dev) with every hardening
# feature (fortified functions, stack protector, format checks, read-only relocations and
# immediate binding). The build type keeps the say over optimisation and debug information,
# and paths stay absolute in the debug information, so Debian's -O, -g and prefix maps are
# left out. Sanitizer, fuzz and Debug builds go without: fortified functions need an optimised
# build and get in the way of the sanitizers' own checks.
option(KMR_DEBIAN_BUILDFLAGS "Build with Debian's hardening flags from dpkg-buildflags" ON)

if(KMR_DEBIAN_BUILDFLAGS AND KMR_SANITIZE STREQUAL "" AND NOT KMR_BUILD_FUZZ
   AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  find_program(KMR_DPKG_BUILDFLAGS dpkg-buildflags)
  if(NOT KMR_DPKG_BUILDFLAGS)
    message(FATAL_ERROR "dpkg-buildflags is missing (package dpkg-dev, scripts/install-deps.sh installs it); "
                        "or configure with -DKMR_DEBIAN_BUILDFLAGS=OFF to build without Debian's hardening flags")
  endif()
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${KMR_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags
      OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(O|g|ffile-prefix-map=|fdebug-prefix-map=|fmacro-prefix-map=)")
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
    list(JOIN flags " " shown)
    message(STATUS "Debian ${kind}: ${shown}")
  endforeach()
endif()
