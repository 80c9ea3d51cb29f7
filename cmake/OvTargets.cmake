# Helpers shared by the project's CMake files.

# A static library of every .cpp in the calling folder; ARGN: a regex of files to leave out.
function(ov_static_library name)
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(ARGN)
    list(FILTER _src EXCLUDE REGEX "${ARGN}")
  endif()
  if(NOT _src)
    set(_src ${CMAKE_BINARY_DIR}/ov_empty.cpp)
    file(WRITE ${_src} "")
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${OV_WARNINGS})
endfunction()

# "Z:\\path\\as\\wine\\sees\\it" for a path of the build machine.
function(ov_wine_path out path)
  string(REPLACE "/" "\\\\" _p "${path}")
  set(${out} "Z:${_p}" PARENT_SCOPE)
endfunction()
