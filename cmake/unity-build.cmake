# A test program's source files are compiled a few at a time as one file
# (CMake's unity build): each batch reads the headers and instantiates the
# test library's templates once. The files of a batch share one translation
# unit, anonymous namespaces included: a file's using-directive or helper is
# seen by the files after it. quorvex_unity_build() takes the batches by hand
# for that reason; -DQUORVEX_UNITY_BUILD=OFF compiles every file on its own.
option(QUORVEX_UNITY_BUILD "Compile the test programs' source files in batches, as one file each" ON)

# quorvex_unity_build(<target> BATCH <source>... [BATCH <source>...]...):
# each BATCH is compiled as one file, in the order given; a source of the
# target in no batch is compiled on its own.
function(quorvex_unity_build target)
  if(NOT QUORVEX_UNITY_BUILD)
    return()
  endif()
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
  set(batch 0)
  foreach(arg IN LISTS ARGN)
    if(arg STREQUAL BATCH)
      math(EXPR batch "${batch} + 1")
    elseif(batch EQUAL 0)
      message(FATAL_ERROR "quorvex_unity_build(${target}): '${arg}' before the first BATCH")
    else()
      set_source_files_properties(${arg} PROPERTIES UNITY_GROUP ${target}_${batch})
    endif()
  endforeach()
endfunction()
