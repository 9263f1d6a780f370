# Compiles go through ccache where it is installed, unless the configure line
# names a launcher of its own (-DCMAKE_CXX_COMPILER_LAUNCHER=, empty, for
# none). Without ccache the build is the same, only slower to repeat.
#
# ccache is told two things: to trust precompiled headers (the macros and time
# stamps inside a .gch are out of its sight; the header's own text is hashed),
# and to leave the build folder out of its key, so that a file compiled alike
# in two trees (build/linux and build/linux-qt5) is compiled once.
find_program(QUORVEX_CCACHE ccache)
mark_as_advanced(QUORVEX_CCACHE)
if(QUORVEX_CCACHE)
  foreach(lang IN ITEMS C CXX)
    if(NOT DEFINED CMAKE_${lang}_COMPILER_LAUNCHER)
      set(CMAKE_${lang}_COMPILER_LAUNCHER env
          CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime CCACHE_NOHASHDIR=true
          ${QUORVEX_CCACHE})
    endif()
  endforeach()
endif()
