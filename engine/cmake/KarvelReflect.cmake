# karvel_reflect(<target> MODULE <name> PACKAGE <script package> MODULE_DIR <dir> HEADERS <headers...>)
#
# Runs the header tool over the module's reflected headers (those that include their .generated.h) and
# compiles the generated registration code into <target>, as the engine's build does before compiling a module.
function(karvel_reflect target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "MODULE;PACKAGE;MODULE_DIR" "HEADERS")
  set(tool_dir "${KARVEL_ENGINE_DIR}/HeaderTool")
  set(output_dir "${CMAKE_CURRENT_BINARY_DIR}/Generated/${ARG_MODULE}")

  set(reflected)
  set(outputs)
  foreach(header IN LISTS ARG_HEADERS)
    get_filename_component(stem "${header}" NAME_WE)
    file(STRINGS "${header}" marker REGEX "#include \"${stem}\\.generated\\.h\"")
    if(marker)
      list(APPEND reflected "${header}")
      list(APPEND outputs "${output_dir}/${stem}.generated.h" "${output_dir}/${stem}.gen.cpp")
    endif()
  endforeach()

  file(GLOB tool_sources CONFIGURE_DEPENDS "${tool_dir}/*.py" "${tool_dir}/khtool/*.py")
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND Python3::Interpreter "${tool_dir}/karvel_header_tool.py"
            --module "${ARG_MODULE}" --module-dir "${ARG_MODULE_DIR}" --package "${ARG_PACKAGE}"
            --output-dir "${output_dir}" ${reflected}
    DEPENDS ${reflected} ${tool_sources}
    COMMENT "Generating reflection code for ${ARG_MODULE}"
    VERBATIM)

  list(FILTER outputs INCLUDE REGEX "\\.gen\\.cpp$")
  target_sources(${target} PRIVATE ${outputs})
  target_include_directories(${target} PUBLIC "${output_dir}")
  karvel_module_api(${target} ${ARG_MODULE})
endfunction()

# karvel_module_api(<target> <module name>): defines the module's <NAME>_API macro for it and its users.
function(karvel_module_api target module)
  string(TOUPPER "${module}" module_upper)
  if(WIN32)
    target_compile_definitions(${target} PUBLIC "${module_upper}_API=")
  else()
    # With the module built -fvisibility=hidden, only what carries the API macro is exported, as on Windows
    # where the engine's build exports only that: a game module that needs more fails to link here too.
    target_compile_definitions(${target} PUBLIC "${module_upper}_API=__attribute__((visibility(\"default\")))")
  endif()
endfunction()
