# kalinor_add_program_resources(target script): a Windows program's version
# resource and manifest, from its own resource script, which includes
# src/resources/program_resources.rc. Nothing elsewhere.
function(kalinor_add_program_resources target script)
  if(NOT WIN32)
    return()
  endif()
  target_sources(${target} PRIVATE ${script})
  # The resource script finds the version header and the shared script and
  # manifest through the include path.
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated
                                               ${CMAKE_SOURCE_DIR}/src/resources)
  set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS
                              "${CMAKE_SOURCE_DIR}/src/resources/program_resources.rc;${CMAKE_SOURCE_DIR}/src/resources/program.manifest")
  if(MSVC)
    # The resource script carries the manifest; the linker must not add one.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()
