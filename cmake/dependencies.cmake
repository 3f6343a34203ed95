# The libraries we build on, all from Debian's packages: TinyXML 2.6 with
# std::string support, libdeflate, expat, zlib, nettle (POSIX only: Windows
# hashes with its own BCrypt) and GoogleTest. Linux links the
# installed libraries. Windows, and for TinyXML the sanitizer build (whose
# instrumentation must see inside the parser), compile Debian's source
# packages, fetched by scripts/setup so that Debian's fixes come along.
# Windows also compiles GoogleTest from the source Debian ships, and links
# zlib statically so each .exe runs alone.

# An installed library as an imported target: its header's folder, the
# library, and the definitions its users need.
function(nv_import_installed target header library)
  string(MAKE_C_IDENTIFIER ${target} id)
  find_path(${id}_INCLUDE_DIR ${header} REQUIRED)
  find_library(${id}_LIBRARY ${library} REQUIRED)
  add_library(${target} UNKNOWN IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION ${${id}_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${${id}_INCLUDE_DIR}
    INTERFACE_COMPILE_DEFINITIONS "${ARGN}")
endfunction()

if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

set(TINYXML_SOURCE_DIR "" CACHE PATH "Debian's tinyxml source, unpacked; empty: the installed library")
if(TINYXML_SOURCE_DIR)
  if(NOT EXISTS "${TINYXML_SOURCE_DIR}/tinyxml.h")
    message(FATAL_ERROR "No TinyXML source in '${TINYXML_SOURCE_DIR}': run scripts/setup")
  endif()
  add_library(tinyxml STATIC
    ${TINYXML_SOURCE_DIR}/tinyxml.cpp
    ${TINYXML_SOURCE_DIR}/tinyxmlparser.cpp
    ${TINYXML_SOURCE_DIR}/tinyxmlerror.cpp)
  target_include_directories(tinyxml SYSTEM PUBLIC ${TINYXML_SOURCE_DIR})
  target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
  add_library(TinyXML::TinyXML ALIAS tinyxml)
else()
  nv_import_installed(TinyXML::TinyXML tinyxml.h tinyxml TIXML_USE_STL)
endif()

set(LIBDEFLATE_SOURCE_DIR "" CACHE PATH "Debian's libdeflate source, unpacked; empty: the installed library")
if(LIBDEFLATE_SOURCE_DIR)
  if(NOT EXISTS "${LIBDEFLATE_SOURCE_DIR}/libdeflate.h")
    message(FATAL_ERROR "No libdeflate source in '${LIBDEFLATE_SOURCE_DIR}': run scripts/setup")
  endif()
  # Just the zlib-format compressor and what it calls, and the CRC-32 that
  # checks blocks the build cache keeps.
  add_library(deflate STATIC
    ${LIBDEFLATE_SOURCE_DIR}/lib/deflate_compress.c
    ${LIBDEFLATE_SOURCE_DIR}/lib/zlib_compress.c
    ${LIBDEFLATE_SOURCE_DIR}/lib/adler32.c
    ${LIBDEFLATE_SOURCE_DIR}/lib/crc32.c
    ${LIBDEFLATE_SOURCE_DIR}/lib/utils.c
    ${LIBDEFLATE_SOURCE_DIR}/lib/x86/cpu_features.c)
  target_include_directories(deflate SYSTEM PUBLIC ${LIBDEFLATE_SOURCE_DIR})
  add_library(Deflate::Deflate ALIAS deflate)
else()
  nv_import_installed(Deflate::Deflate libdeflate.h deflate)
endif()

# expat: Windows compiles Debian's source by default, there being no
# installed expat to link. expat's own build writes expat_config.h from
# checks of the system; on Windows only these settings count (its entropy
# comes from rand_s), and they are those of Debian's build.
if(WIN32)
  set(expat_default_source "${PROJECT_SOURCE_DIR}/out/deps/expat")
endif()
set(EXPAT_SOURCE_DIR "${expat_default_source}" CACHE PATH
    "Debian's expat source, unpacked; empty: the installed library")
if(EXPAT_SOURCE_DIR)
  set(expat_lib ${EXPAT_SOURCE_DIR}/expat/lib)
  if(NOT EXISTS "${expat_lib}/expat.h")
    message(FATAL_ERROR "No expat source in '${EXPAT_SOURCE_DIR}': run scripts/setup")
  endif()
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/expat/expat_config.h CONTENT [[
#define BYTEORDER 1234
#define XML_CONTEXT_BYTES 1024
#define XML_DTD 1
#define XML_NS 1
]])
  add_library(expat STATIC ${expat_lib}/xmlparse.c ${expat_lib}/xmlrole.c ${expat_lib}/xmltok.c)
  target_include_directories(expat PRIVATE ${CMAKE_BINARY_DIR}/expat)
  target_include_directories(expat SYSTEM PUBLIC ${expat_lib})
  target_compile_definitions(expat PUBLIC XML_STATIC)
  add_library(Expat::Expat ALIAS expat)
else()
  nv_import_installed(Expat::Expat expat.h expat)
endif()

if(NOT WIN32)
  nv_import_installed(Nettle::Nettle nettle/sha2.h nettle)
endif()

# The image libraries that check decodes with, and utf8proc, which puts
# names into one Unicode normalisation form.
if(NOT WIN32)
  find_package(PNG REQUIRED)
  find_package(JPEG REQUIRED)
  find_package(GIF REQUIRED)
  nv_import_installed(Utf8proc::Utf8proc utf8proc.h utf8proc)
endif()

if(WIN32)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
