# The libraries we build on, all from Debian's packages: TinyXML 2.6 with
# std::string support, libdeflate, expat, zlib, nettle (POSIX only: Windows
# hashes with its own BCrypt), libpng, libjpeg-turbo, giflib, utf8proc and
# GoogleTest. Linux links the installed libraries. Windows, and for TinyXML
# the sanitizer build (whose instrumentation must see inside the parser),
# compile Debian's source packages, fetched by scripts/setup so that
# Debian's fixes come along.
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
# names into one Unicode normalisation form. Linux links the installed
# libraries; Windows compiles Debian's source packages, which scripts/setup
# unpacks into out/deps, as static libraries under the same target names.

# The cache variable VAR: where Debian's source package NAME is unpacked,
# by default on Windows out/deps/NAME; empty, the installed library. A
# folder without FILE is not that source.
function(nv_source_dir var name file)
  set(default "")
  if(WIN32)
    set(default "${PROJECT_SOURCE_DIR}/out/deps/${name}")
  endif()
  set(${var} "${default}" CACHE PATH "Debian's ${name} source, unpacked; empty: the installed library")
  if(${var} AND NOT EXISTS "${${var}}/${file}")
    message(FATAL_ERROR "No ${name} source in '${${var}}': run scripts/setup")
  endif()
endfunction()

# libpng: its default configuration, which its own builds copy when they
# have no awk to make one, and Debian's build makes alike (but for naming
# zlib's version). Its SIMD code for x86 is off unless asked for.
nv_source_dir(LIBPNG_SOURCE_DIR libpng1.6 png.h)
if(LIBPNG_SOURCE_DIR)
  set(png ${LIBPNG_SOURCE_DIR})
  configure_file(${png}/scripts/pnglibconf.h.prebuilt ${CMAKE_BINARY_DIR}/libpng/pnglibconf.h COPYONLY)
  add_library(png STATIC
    ${png}/png.c ${png}/pngerror.c ${png}/pngget.c ${png}/pngmem.c ${png}/pngpread.c
    ${png}/pngread.c ${png}/pngrio.c ${png}/pngrtran.c ${png}/pngrutil.c ${png}/pngset.c
    ${png}/pngtrans.c ${png}/pngwio.c ${png}/pngwrite.c ${png}/pngwtran.c ${png}/pngwutil.c)
  target_include_directories(png SYSTEM PUBLIC ${png} ${CMAKE_BINARY_DIR}/libpng)
  target_link_libraries(png PRIVATE ZLIB::ZLIB)
  add_library(PNG::PNG ALIAS png)
else()
  find_package(PNG REQUIRED)
endif()

# libjpeg-turbo: its files are listed here rather than its CMakeLists.txt
# added, for that is a whole project's: it would bring its programs, its
# install rules and some seventy tests of its own into ours, and date the
# library by the day of the build, where one commit must link the same
# bytes. Its config headers are its own templates (Windows' jconfig.h has
# Windows' own boolean), filled in as its CMakeLists.txt fills them for this
# build: the libjpeg 6b interface, as Debian's libjpeg62-turbo has; 8-bit
# samples, arithmetic coding and memory sources, as by default; no SIMD,
# whose code is assembly for nasm.
function(nv_jpeg_config jpeg out)
  file(STRINGS ${jpeg}/CMakeLists.txt sets REGEX "^set\\((VERSION|COPYRIGHT_YEAR) ")
  string(REGEX MATCH "VERSION (([0-9]+)\\.([0-9]+)\\.([0-9]+))" _ "${sets}")
  set(VERSION ${CMAKE_MATCH_1})
  math(EXPR LIBJPEG_TURBO_VERSION_NUMBER
       "${CMAKE_MATCH_2} * 1000000 + ${CMAKE_MATCH_3} * 1000 + ${CMAKE_MATCH_4}")
  string(REGEX MATCH "COPYRIGHT_YEAR \"([^\"]+)\"" _ "${sets}")
  set(COPYRIGHT_YEAR ${CMAKE_MATCH_1})
  set(JPEG_LIB_VERSION 62)
  set(BITS_IN_JSAMPLE 8)
  set(C_ARITH_CODING_SUPPORTED 1)
  set(D_ARITH_CODING_SUPPORTED 1)
  set(MEM_SRCDST_SUPPORTED 1)
  set(BUILD Debian)                          # not the day of the build
  set(CMAKE_PROJECT_NAME libjpeg-turbo)      # jconfigint.h's PACKAGE_NAME
  set(INLINE "__inline__ __attribute__((always_inline))")
  set(THREAD_LOCAL __thread)
  set(SIZE_T ${CMAKE_SIZEOF_VOID_P})
  if(WIN32)
    configure_file(${jpeg}/win/jconfig.h.in ${out}/jconfig.h)
  else()
    configure_file(${jpeg}/jconfig.h.in ${out}/jconfig.h)
  endif()
  configure_file(${jpeg}/jconfigint.h.in ${out}/jconfigint.h)
  configure_file(${jpeg}/jversion.h.in ${out}/jversion.h)
endfunction()
nv_source_dir(LIBJPEG_TURBO_SOURCE_DIR libjpeg-turbo jpeglib.h)
if(LIBJPEG_TURBO_SOURCE_DIR)
  set(jpeg ${LIBJPEG_TURBO_SOURCE_DIR})
  nv_jpeg_config(${jpeg} ${CMAKE_BINARY_DIR}/libjpeg-turbo)
  set(jpeg_sources
    jcapimin.c jcapistd.c jccoefct.c jccolor.c jcdctmgr.c jchuff.c jcicc.c jcinit.c
    jcmainct.c jcmarker.c jcmaster.c jcomapi.c jcparam.c jcphuff.c jcprepct.c jcsample.c
    jctrans.c jdapimin.c jdapistd.c jdatadst.c jdatasrc.c jdcoefct.c jdcolor.c jddctmgr.c
    jdhuff.c jdicc.c jdinput.c jdmainct.c jdmarker.c jdmaster.c jdmerge.c jdphuff.c
    jdpostct.c jdsample.c jdtrans.c jerror.c jfdctflt.c jfdctfst.c jfdctint.c jidctflt.c
    jidctfst.c jidctint.c jidctred.c jquant1.c jquant2.c jutils.c jmemmgr.c jmemnobs.c
    jaricom.c jcarith.c jdarith.c jsimd_none.c)
  list(TRANSFORM jpeg_sources PREPEND ${jpeg}/)
  add_library(jpeg STATIC ${jpeg_sources})
  target_include_directories(jpeg SYSTEM PUBLIC ${jpeg} ${CMAKE_BINARY_DIR}/libjpeg-turbo)
  add_library(JPEG::JPEG ALIAS jpeg)
else()
  find_package(JPEG REQUIRED)
endif()

# giflib: the library as its Makefile builds it, with the colour quantizer
# that Debian's patches put back.
nv_source_dir(GIFLIB_SOURCE_DIR giflib gif_lib.h)
if(GIFLIB_SOURCE_DIR)
  set(gif ${GIFLIB_SOURCE_DIR})
  add_library(gif STATIC
    ${gif}/dgif_lib.c ${gif}/egif_lib.c ${gif}/gifalloc.c ${gif}/gif_err.c ${gif}/gif_font.c
    ${gif}/gif_hash.c ${gif}/openbsd-reallocarray.c ${gif}/quantize.c)
  target_include_directories(gif SYSTEM PUBLIC ${gif})
  add_library(GIF::GIF ALIAS gif)
else()
  find_package(GIF REQUIRED)
endif()

# utf8proc: one file, which includes its Unicode tables; UTF8PROC_STATIC
# keeps its header from declaring the functions as a DLL's.
nv_source_dir(UTF8PROC_SOURCE_DIR utf8proc utf8proc.h)
if(UTF8PROC_SOURCE_DIR)
  add_library(utf8proc STATIC ${UTF8PROC_SOURCE_DIR}/utf8proc.c)
  target_include_directories(utf8proc SYSTEM PUBLIC ${UTF8PROC_SOURCE_DIR})
  target_compile_definitions(utf8proc PUBLIC UTF8PROC_STATIC)
  add_library(Utf8proc::Utf8proc ALIAS utf8proc)
else()
  nv_import_installed(Utf8proc::Utf8proc utf8proc.h utf8proc)
endif()

# nlohmann/json, header-only, for the language server's protocol. Windows
# takes the same installed headers, through a folder of their own, since
# /usr/include as a whole holds the Linux C library's.
find_path(NLOHMANN_JSON_INCLUDE_DIR nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(NlohmannJson::NlohmannJson INTERFACE IMPORTED GLOBAL)
if(WIN32)
  set(json_headers ${CMAKE_BINARY_DIR}/nlohmann-json)
  file(MAKE_DIRECTORY ${json_headers})
  file(CREATE_LINK ${NLOHMANN_JSON_INCLUDE_DIR}/nlohmann ${json_headers}/nlohmann SYMBOLIC)
  set_target_properties(NlohmannJson::NlohmannJson PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${json_headers})
else()
  set_target_properties(NlohmannJson::NlohmannJson PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${NLOHMANN_JSON_INCLUDE_DIR})
endif()

if(WIN32)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
