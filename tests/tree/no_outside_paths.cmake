# Fails when the build, the tests, the tools, the benchmarks or the scripts
# name a folder outside the repository: a clone must build and test on its
# own. Run as: cmake -DROOT=<source dir> -P no_outside_paths.cmake
# The patterns are put together from pieces so that this file does not
# match them itself.
set(up "..")
set(work "/work")
set(define "TOLMERA_")
set(wanted "${up}/shared" "${work}/shared" "${define}SHARED_DIR")

file(GLOB_RECURSE files LIST_DIRECTORIES false
  "${ROOT}/src/*" "${ROOT}/tests/*" "${ROOT}/tools/*" "${ROOT}/bench/*" "${ROOT}/scripts/*" "${ROOT}/cmake/*")
list(APPEND files "${ROOT}/CMakeLists.txt")
# Test data made by other programs is not code.
list(FILTER files EXCLUDE REGEX "^${ROOT}/tests/fixtures/")

set(found "")
foreach(f IN LISTS files)
  file(STRINGS "${f}" lines)
  set(n 0)
  foreach(line IN LISTS lines)
    math(EXPR n "${n} + 1")
    foreach(p IN LISTS wanted)
      string(FIND "${line}" "${p}" at)
      if(NOT at EQUAL -1)
        file(RELATIVE_PATH rel "${ROOT}" "${f}")
        string(APPEND found "  ${rel}:${n}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
list(LENGTH files count)
if(found)
  message(FATAL_ERROR "Paths outside the repository:\n${found}")
endif()
message(STATUS "${count} files checked; none names a path outside the repository")
