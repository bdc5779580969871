# The version resource of a deliverable. The numbers come from project(Tolva VERSION ...) alone; what
# differs between the files (description, file name, program or library) goes into a small header
# of the target's own, which common/version.rc reads. A target with a resource script of its own
# includes common/version.rc from it; one without gets common/version.rc as its resource script.
#
#   tolva_version_resource(<target> "<file description>")

function(tolva_version_resource target description)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(file_name ${name}${CMAKE_EXECUTABLE_SUFFIX})
    set(file_type VFT_APP)
  else()
    set(file_name ${name}${CMAKE_SHARED_LIBRARY_SUFFIX})
    set(file_type VFT_DLL)
  endif()

  set(dir ${CMAKE_BINARY_DIR}/version/${target})
  file(CONFIGURE OUTPUT ${dir}/tolva_version.h CONTENT [[
// Written by the build from cmake/version.cmake; edit that file, not this one.
#define TOLVA_VERSION_NUMBERS @PROJECT_VERSION_MAJOR@,@PROJECT_VERSION_MINOR@,@PROJECT_VERSION_PATCH@,0
#define TOLVA_VERSION_TEXT "@PROJECT_VERSION@"
#define TOLVA_FILE_DESCRIPTION "@description@"
#define TOLVA_FILE_NAME "@file_name@"
#define TOLVA_INTERNAL_NAME "@name@"
#define TOLVA_FILE_TYPE @file_type@
]] @ONLY)
  target_include_directories(${target} BEFORE PRIVATE ${dir} ${CMAKE_SOURCE_DIR}/common)

  # windres writes no dependency file, so a changed version must be named to the build by hand.
  set(version_inputs ${dir}/tolva_version.h ${CMAKE_SOURCE_DIR}/common/version.rc)
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  set(scripts)
  foreach(source ${sources})
    if(source MATCHES "\\.rc$")
      list(APPEND scripts ${source})
    endif()
  endforeach()
  if(scripts)
    foreach(script ${scripts})
      cmake_path(ABSOLUTE_PATH script BASE_DIRECTORY ${source_dir})
      set_property(SOURCE ${script} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${version_inputs})
    endforeach()
  else()
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/common/version.rc)
    set_property(SOURCE ${CMAKE_SOURCE_DIR}/common/version.rc TARGET_DIRECTORY ${target} APPEND
                 PROPERTY OBJECT_DEPENDS ${version_inputs})
  endif()
endfunction()
