# nlohmann-json and CLI11, header-only Debian packages, as the targets their
# CMake packages define. A cross compiler must not see the rest of the build
# machine's /usr/include: it gets a folder in the build tree that holds links
# to these two packages' headers only.
if(CMAKE_CROSSCOMPILING)
  set(KARVEL_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${KARVEL_HOST_HEADERS})
  foreach(headers IN ITEMS nlohmann CLI)
    if(NOT IS_DIRECTORY /usr/include/${headers})
      message(FATAL_ERROR "/usr/include/${headers} is missing: bash scripts/install-deps.sh windows installs it")
    endif()
    file(CREATE_LINK /usr/include/${headers} ${KARVEL_HOST_HEADERS}/${headers} SYMBOLIC)
  endforeach()
  foreach(target IN ITEMS nlohmann_json::nlohmann_json CLI11::CLI11)
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${KARVEL_HOST_HEADERS})
  endforeach()
else()
  find_package(nlohmann_json 3 REQUIRED)
  find_package(CLI11 REQUIRED)
endif()
