# Header-only libraries from the system, found through their own CMake
# packages: Boost.SmartPtr (Boost::headers, which the library's headers
# need), CLI11 and nlohmann-json (the qwz tool's). qwz_header_only_deps
# carries all three for the tool and the tests.
#
# They are the same for every target, so the cross build finds the build
# machine's packages and then gives their targets a generated include folder
# that links only their own header trees, never the whole of /usr/include.
if(CMAKE_CROSSCOMPILING)
  set(_mode ${CMAKE_FIND_ROOT_PATH_MODE_PACKAGE})
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE NEVER)
  set(_boost_hint PATHS /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake)
endif()
find_package(Boost 1.74 CONFIG REQUIRED ${_boost_hint})
find_package(CLI11 CONFIG REQUIRED)
find_package(nlohmann_json 3 CONFIG REQUIRED)
if(CMAKE_CROSSCOMPILING)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ${_mode})
  set(_deps_dir ${CMAKE_BINARY_DIR}/header-only-deps)
  file(MAKE_DIRECTORY ${_deps_dir})
  foreach(_pair "Boost::headers=boost" "CLI11::CLI11=CLI" "nlohmann_json::nlohmann_json=nlohmann")
    string(REPLACE "=" ";" _pair ${_pair})
    list(GET _pair 0 _target)
    list(GET _pair 1 _tree)
    get_target_property(_dirs ${_target} INTERFACE_INCLUDE_DIRECTORIES)
    set(_found "")
    foreach(_dir IN LISTS _dirs)
      if(NOT _found AND EXISTS ${_dir}/${_tree})
        set(_found ${_dir}/${_tree})
      endif()
    endforeach()
    if(NOT _found)
      message(FATAL_ERROR "${_target}: no ${_tree}/ under ${_dirs}")
    endif()
    if(NOT EXISTS ${_deps_dir}/${_tree})
      file(CREATE_LINK ${_found} ${_deps_dir}/${_tree} SYMBOLIC)
    endif()
    set_target_properties(${_target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_deps_dir})
  endforeach()
endif()

add_library(qwz_header_only_deps INTERFACE)
target_link_libraries(qwz_header_only_deps INTERFACE Boost::headers CLI11::CLI11 nlohmann_json::nlohmann_json)
