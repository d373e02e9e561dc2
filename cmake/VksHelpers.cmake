# Build helpers shared by every directory of the Windows side.

# The runner that ctest puts in front of every Windows test binary.
set(VKS_WINERUN ${CMAKE_BINARY_DIR}/winerun)
set(VKS_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/testing/wine/winerun.in ${VKS_WINERUN} @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VKS_WINERUN})

include(GoogleTest)

# vks_add_gtest(name SOURCES ... [LIBS ...] [ENV VAR=value ...] [LOCKS lock ...]
#               [SUITE_LOCK lock SUITES regex] [OWN_DESKTOP])
# One Windows test binary; each of its tests becomes a ctest test run under Wine.
# Tests whose name matches SUITES also take SUITE_LOCK (a resource of the whole
# Wine session that only some tests touch, such as the clipboard). With
# OWN_DESKTOP each test process runs on a desktop of its own, so that windows
# other tests show do not take its foreground and keyboard focus.
function(vks_add_gtest name)
  cmake_parse_arguments(A "OWN_DESKTOP" "SUITE_LOCK;SUITES" "SOURCES;LIBS;ENV;PROPERTIES;LOCKS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} gmock gtest_main)
  if(A_OWN_DESKTOP)
    target_link_libraries(${name} PRIVATE vksowndesktop)
  endif()
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${VKS_WINERUN})
  # An empty ENVIRONMENT value would shift the property list and drop the rest.
  set(props TIMEOUT 300 ${A_PROPERTIES})
  if(A_ENV)
    list(APPEND props ENVIRONMENT "${A_ENV}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${props})
  # More than one lock cannot pass through the discovery's flat property
  # list (it would split the value and lose the properties after it), so
  # they are set on the discovered tests by a script that ctest runs after
  # the discovery's own.
  if(A_LOCKS OR A_SUITE_LOCK)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_locks.cmake)
    file(WRITE ${script}
         "if(DEFINED ${name}_TESTS)\n"
         "  foreach(test IN LISTS ${name}_TESTS)\n"
         "    set(locks \"${A_LOCKS}\")\n"
         "    if(NOT \"${A_SUITES}\" STREQUAL \"\" AND test MATCHES \"${A_SUITES}\")\n"
         "      list(APPEND locks ${A_SUITE_LOCK})\n"
         "    endif()\n"
         "    if(locks)\n"
         "      set_tests_properties(\"\${test}\" PROPERTIES RESOURCE_LOCK \"\${locks}\")\n"
         "    endif()\n"
         "  endforeach()\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()

# vks_add_idl(target file.idl): header, interface ids and type library in the
# build tree, added to target's sources and include path.
function(vks_add_idl target idl)
  get_filename_component(base ${idl} NAME_WE)
  get_filename_component(abs ${idl} ABSOLUTE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${out}/${base}.h ${out}/${base}_i.c ${out}/${base}.tlb
    COMMAND ${VKS_WIDL} -I/usr/include/wine/wine/windows
            -L/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
            -h -H ${out}/${base}.h -t -T ${out}/${base}.tlb -u -U ${out}/${base}_i.c ${abs}
    DEPENDS ${abs}
    COMMENT "widl ${base}.idl")
  target_sources(${target} PRIVATE ${out}/${base}.h ${out}/${base}_i.c)
  target_include_directories(${target} PUBLIC ${out})
endfunction()
