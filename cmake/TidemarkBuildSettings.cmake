# One interface target carries the language level, warnings and sanitizers for every target.
add_library(tidemark_build_settings INTERFACE)
target_compile_features(tidemark_build_settings INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(tidemark_build_settings INTERFACE -Wall -Wextra -Wpedantic)
# Clang checks the locks: a member marked TM_GUARDED_BY read without its mutex is an error.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(tidemark_build_settings INTERFACE -Wthread-safety)
endif()
target_include_directories(tidemark_build_settings INTERFACE ${PROJECT_SOURCE_DIR}/src)
# Debug builds check every index into the standard containers: a test that reads past the end
# of a vector fails there and then, rather than reading whatever lies beyond it.
target_compile_definitions(tidemark_build_settings INTERFACE $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
if(TIDEMARK_WERROR)
  target_compile_options(tidemark_build_settings INTERFACE -Werror)
endif()
if(TIDEMARK_SANITIZE)
  target_compile_options(tidemark_build_settings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(tidemark_build_settings INTERFACE -fsanitize=address,undefined)
endif()

if(TIDEMARK_SANITIZE_THREADS)
  target_compile_options(tidemark_build_settings INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tidemark_build_settings INTERFACE -fsanitize=thread)
endif()

# The programs' allocator. A pass allocates and frees a path or two per file on the walk's thread,
# the look-ahead's workers and its scout, often freeing on one thread what another allocated;
# jemalloc serves that with less work and less waiting than the C library's allocator. The
# sanitizers bring allocators of their own.
add_library(tidemark_allocator INTERFACE)
if(TIDEMARK_JEMALLOC AND NOT TIDEMARK_SANITIZE AND NOT TIDEMARK_SANITIZE_THREADS)
  find_library(TIDEMARK_JEMALLOC_LIBRARY jemalloc REQUIRED)
  target_link_libraries(tidemark_allocator INTERFACE ${TIDEMARK_JEMALLOC_LIBRARY})
endif()

# Strict Qt defines, for the targets that use Qt only.
add_library(tidemark_qt_settings INTERFACE)
target_compile_definitions(tidemark_qt_settings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
  QT_NO_CAST_FROM_BYTEARRAY QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_KEYWORDS)
