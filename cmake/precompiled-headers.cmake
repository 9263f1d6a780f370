# The test and benchmark programs spend much of their compile time reading the
# same library headers again for every source file. Each set below is compiled
# once per build tree into a precompiled header; the programs of one set share
# it, as they are built with the same flags (those of the same libraries). A
# set holds library headers only: the project's own change too often.
set(quorvex_std_headers
  <algorithm> <atomic> <chrono> <cstdint> <filesystem> <fstream> <functional> <map> <memory> <optional> <set>
  <string> <string_view> <system_error> <thread> <utility> <vector>)
set(quorvex_headers_gtest <gtest/gtest.h> ${quorvex_std_headers})
set(quorvex_headers_gtest_win32 <windows.h> ${quorvex_headers_gtest})
set(quorvex_headers_qt_gui_test <QtGui/QGuiApplication> <QtGui/QImage> <QtGui/QWindow> ${quorvex_headers_gtest})
set(quorvex_headers_qt_widgets_test <QtWidgets/QApplication> <QtWidgets/QLabel> <QtWidgets/QWidget> <QtTest/QTest>
  ${quorvex_headers_gtest})
set(quorvex_headers_benchmark <benchmark/benchmark.h> ${quorvex_std_headers})

# quorvex_precompile_headers(<target> <set>): the first target of a set
# compiles its header, the later ones reuse it.
function(quorvex_precompile_headers target set)
  if(NOT DEFINED quorvex_headers_${set})
    message(FATAL_ERROR "No precompiled header set '${set}'")
  endif()
  get_property(owner GLOBAL PROPERTY quorvex_precompiled_${set})
  if(owner)
    target_precompile_headers(${target} REUSE_FROM ${owner})
  else()
    target_precompile_headers(${target} PRIVATE ${quorvex_headers_${set}})
    set_property(GLOBAL PROPERTY quorvex_precompiled_${set} ${target})
  endif()
endfunction()
