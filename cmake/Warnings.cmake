# Compiler flags shared by every target of the project.
add_compile_options(-Wall -Wextra)
if(TOLMERA_WERROR)
  add_compile_options(-Werror)
endif()
if(TOLMERA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TOLMERA_FUZZ)
  # Every library gets coverage instrumentation; only the fuzz targets link
  # libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# tolmera_add_fuzzer(name source... LIBS lib...)
# A libFuzzer target, built only in the fuzzing configuration. The test script
# runs each one briefly on its seed corpus (fuzz/<name>/ beside the source).
function(tolmera_add_fuzzer name)
  if(NOT TOLMERA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  add_executable(${name} ${F_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY TOLMERA_FUZZERS ${name})
endfunction()

# tolmera_add_test(name source... LIBS lib...)
# One GoogleTest executable; each TEST becomes a CTest case.
function(tolmera_add_test name)
  cmake_parse_arguments(T "" "" "LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    TOLMERA_FIXTURES_DIR="${TOLMERA_FIXTURES_DIR}"
    TOLMERA_BUILT_FIXTURES_DIR="${TOLMERA_BUILT_FIXTURES_DIR}"
    TOLMERA_TEST_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${T_PROPERTIES})
endfunction()
