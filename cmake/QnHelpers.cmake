# Helpers used by the CMakeLists of src/, tests/, fuzz/ and bench/.

# qn_add_subdirs(<dir>): adds every direct child of <dir> that has a CMakeLists.txt, in name order,
# so that a new component only adds its own folder.
function(qn_add_subdirs dir)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${dir} ${dir}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${dir}/${child} AND EXISTS ${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# qn_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [ENVIRONMENT ...] [TIMEOUT s] [X11] [OPENGL]
#             [PULSE] [KEYRING])
# One Qt Test executable registered with ctest. Tests run offscreen unless X11 is given, in which
# case they use the Xvfb display that scripts/test starts (DISPLAY is inherited). X11 tests run
# without Qt's xcb GL integration (QT_XCB_GL_INTEGRATION=none): the GL drivers a machine may have
# (Mesa) leak at exit, and a test that needs no OpenGL must not load them. OPENGL keeps the GL
# integration and uses tests/lsan-opengl.supp, which names the GL libraries only (a test with a
# suppression file of its own adds those lines to it). PULSE marks a test
# (or one labelled "pulse") that plays into, records from or mutes the shared PulseAudio default sink:
# such tests never run at the same time (ctest resource lock "pulse-default-sink").
# KEYRING runs the test through tests/with-keyring.sh: its own D-Bus session with an unlocked
# gnome-keyring Secret Service and a fresh HOME (label "keyring").
# Every test links qn_test_support (tests/fixtures/support: QN_SKIP_MISSING for a missing real peer,
# a failure under CI=true). TEST_FIXTURES_DIR and TEST_BIN_DIR are compiled in for tests that need
# fixture files or binaries.
function(qn_add_test name)
  cmake_parse_arguments(T "X11;OPENGL;PULSE;KEYRING" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test qn_test_support ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    TEST_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
    TEST_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  if(T_KEYRING)
    add_test(NAME ${name} COMMAND sh ${PROJECT_SOURCE_DIR}/tests/with-keyring.sh $<TARGET_FILE:${name}>)
    list(APPEND T_LABELS keyring)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set(supp ${PROJECT_SOURCE_DIR}/tests/lsan.supp)
  if(T_OPENGL)
    set(supp ${PROJECT_SOURCE_DIR}/tests/lsan-opengl.supp)
  endif()
  # ThreadSanitizer runs (the tsan configuration) read tests/tsan.supp: Qt's own hand-off
  # machinery, which Debian's uninstrumented Qt hides from the analysis.
  set(env "QT_LOGGING_RULES=qn.*.debug=true" "LSAN_OPTIONS=suppressions=${supp}:print_suppressions=0"
    "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp:ignore_noninstrumented_modules=1"
    ${T_ENVIRONMENT})
  if(T_X11)
    list(APPEND env "QT_QPA_PLATFORM=xcb")
    if(NOT T_OPENGL)
      list(APPEND env "QT_XCB_GL_INTEGRATION=none")
    endif()
    list(APPEND T_LABELS x11)
  else()
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}")
  if(T_PULSE OR "pulse" IN_LIST T_LABELS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK pulse-default-sink)
  endif()
endfunction()

# qn_add_fuzzer(<name> SOURCES ... [LIBS ...] CORPUS <dir>)
# A target defining LLVMFuzzerTestOneInput. With QN_FUZZ it is a libFuzzer binary (scripts/fuzz runs
# it); otherwise it links the standalone replay driver, and ctest replays every file of the corpus.
function(qn_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  if(QN_FUZZ)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_link_libraries(${name} PRIVATE qn_fuzz_replay)
  endif()
  if(F_CORPUS)
    add_test(NAME ${name}_corpus COMMAND ${name} ${F_CORPUS})
    set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz TIMEOUT 300
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# qn_add_bench(<name> SOURCES ... [LIBS ...]): a benchmark program (not run by ctest; see bench/README.md).
function(qn_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS})
endfunction()

# qn_component_library(<target> [LIBS ...]): a subsystem library assembled from its subfolders.
# Each subfolder's CMakeLists adds its sources with target_sources(<target> PRIVATE ...) and its
# own dependencies, so parts of one subsystem are built in separate folders. Headers are included
# from the one source root with the component's path ("common/settings/COption.h"); the library
# exports no include folder of its own. Headers under an internal/ folder stay inside the
# component (scripts/check-includes). Without any part yet it is an interface target.
function(qn_component_library target)
  cmake_parse_arguments(C "" "" "LIBS" ${ARGN})
  file(GLOB parts ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  if(parts)
    add_library(${target} STATIC)
    target_link_libraries(${target} PUBLIC ${C_LIBS})
    qn_add_subdirs(${CMAKE_CURRENT_SOURCE_DIR})
  else()
    add_library(${target} INTERFACE)
  endif()
endfunction()
