# Debian's full hardening for the Release build, the one `make package`
# turns into the Debian package: the compiler and linker flags that
# `dpkg-buildflags` gives with DEB_BUILD_MAINT_OPTIONS=hardening=+all, that
# is _FORTIFY_SOURCE, the strong stack protector, format-string checks, full
# RELRO and eager binding (-z now). PIE is the compiler's default already.
#
# Only Release: _FORTIFY_SOURCE does nothing without optimisation and warns
# about it, the sanitizer and fuzzer builds bring checks of their own, and a
# Debug build should stay as plain as the debugger likes it. Included before
# the targets are defined, so that every program, library, test and
# benchmark of the Release build is compiled the same way.
#
# Only the hardening is taken: the -g and -O2 of Debian's defaults are
# stripped (the build type sets optimisation and debug information), and
# so are the file and debug prefix maps of the reproducible feature, which
# would bake the directory cmake happens to run in into the flags.
option(QZ_HARDEN "Release build: Debian's hardening flags from dpkg-buildflags" ON)

if(QZ_HARDEN AND CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT QZ_SANITIZE AND NOT QZ_FUZZ)
  find_program(QZ_DPKG_BUILDFLAGS dpkg-buildflags)
  if(NOT QZ_DPKG_BUILDFLAGS)
    message(WARNING "dpkg-buildflags not found (package dpkg-dev): the Release build is not hardened")
  else()
    set(qz_flag_env
      "DEB_BUILD_MAINT_OPTIONS=hardening=+all reproducible=-fixfilepath,-fixdebugpath"
      "DEB_CXXFLAGS_MAINT_STRIP=-g -O2")
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env ${qz_flag_env} ${QZ_DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE qz_flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE qz_status)
      if(NOT qz_status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed (${qz_status})")
      endif()
      separate_arguments(qz_flags UNIX_COMMAND "${qz_flags}")
      set(qz_hardening_${kind} ${qz_flags})
    endforeach()
    add_compile_options(${qz_hardening_CPPFLAGS} ${qz_hardening_CXXFLAGS})
    add_link_options(${qz_hardening_LDFLAGS})
    list(JOIN qz_hardening_CPPFLAGS " " qz_cpp)
    list(JOIN qz_hardening_CXXFLAGS " " qz_cxx)
    list(JOIN qz_hardening_LDFLAGS " " qz_ld)
    message(STATUS "Hardening (dpkg-buildflags): ${qz_cpp} ${qz_cxx} ${qz_ld}")
  endif()
endif()
