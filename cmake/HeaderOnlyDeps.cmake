# Header-only libraries from the system (Boost.SmartPtr, CLI11, nlohmann-json).
# A native build finds them in the compiler's own include path. The cross
# build gets a generated include folder that links only their header trees,
# never the whole of /usr/include.
add_library(qwz_header_only_deps INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(_deps_dir ${CMAKE_BINARY_DIR}/header-only-deps)
  file(MAKE_DIRECTORY ${_deps_dir})
  foreach(_tree boost CLI nlohmann)
    if(EXISTS /usr/include/${_tree} AND NOT EXISTS ${_deps_dir}/${_tree})
      file(CREATE_LINK /usr/include/${_tree} ${_deps_dir}/${_tree} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(qwz_header_only_deps SYSTEM INTERFACE ${_deps_dir})
endif()
