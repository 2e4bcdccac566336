# SPDX-License-Identifier: GPL-2.0-or-later
# The instruction budgets of the benchmark's cases (tools/bench.sh --budget),
# counted with callgrind on the program as it is released: optimized and
# static, whatever the build type of the tests, its fixed paths under "."
# like the tests'. Sanitizers change the counts: no budgets in such a build.
# Included by the top CMakeLists.txt when the tests are built.
if(TALMIR_SANITIZE)
  return()
endif()

# talmir_core's sources, as paths that hold from any directory.
get_target_property(talmir_core_fuentes talmir_core SOURCES)
get_target_property(talmir_core_dir talmir_core SOURCE_DIR)
set(TALMIR_CORE_SOURCES)
foreach(f IN LISTS talmir_core_fuentes)
  if(NOT IS_ABSOLUTE "${f}")
    set(f "${talmir_core_dir}/${f}")
  endif()
  list(APPEND TALMIR_CORE_SOURCES "${f}")
endforeach()

separate_arguments(TALMIR_OPT_RELEASE UNIX_COMMAND "${CMAKE_CXX_FLAGS_RELEASE}")
add_library(talmir_core_medida STATIC ${TALMIR_CORE_SOURCES}
            ${PROJECT_SOURCE_DIR}/src/driver/rutas.cc
            ${PROJECT_SOURCE_DIR}/src/config/infsys_formato.cc)
target_include_directories(talmir_core_medida PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(talmir_core_medida PRIVATE ${TALMIR_OPT_RELEASE} ${TALMIR_SECCIONES})
target_compile_definitions(talmir_core_medida PRIVATE "TALMIR_ROOT=\".\"")
add_executable(talmir_medida ${PROJECT_SOURCE_DIR}/src/main.cc)
target_compile_options(talmir_medida PRIVATE ${TALMIR_OPT_RELEASE})
target_link_libraries(talmir_medida PRIVATE talmir_core_medida)
target_link_options(talmir_medida PRIVATE ${TALMIR_OPCIONES_ESTATICAS} -Wl,--gc-sections)
# The static analysis reads the sources as the program is built: one
# entry per file in compile_commands.json, not a second optimized one.
set_target_properties(talmir_core_medida talmir_medida PROPERTIES EXPORT_COMPILE_COMMANDS OFF)
add_test(NAME instruction_budgets
  COMMAND bash ${PROJECT_SOURCE_DIR}/tools/bench.sh --budget $<TARGET_FILE:talmir_medida>)
set_tests_properties(instruction_budgets PROPERTIES LABELS budget TIMEOUT 900)
