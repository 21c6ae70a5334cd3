# Warnings, log context and sanitizer configurations shared by every target.

# Source file, line and function are recorded in every build type, not only in debug builds.
add_compile_definitions(QT_MESSAGELOGCONTEXT QT_DEPRECATED_WARNINGS)
add_compile_options(-Wall -Wextra)

if(QN_SANITIZE AND QN_TSAN)
  message(FATAL_ERROR "QN_SANITIZE and QN_TSAN cannot be combined")
endif()

if(QN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QN_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(QN_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "QN_FUZZ needs clang (CC=clang CXX=clang++)")
endif()

# Fuzz builds instrument every library for coverage, not only the fuzz targets themselves.
if(QN_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
# Members annotated with the mutex that guards them (common/thread/QnThreadAnnotations.h) are
# checked by clang's analysis wherever clang builds (the fuzz configuration, scripts/fuzz).
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-Wthread-safety)
endif()
