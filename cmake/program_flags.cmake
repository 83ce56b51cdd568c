# Flags of the shipped programs and the libraries they are made of. The
# benchmark's empty programs (bench/CMakeLists.txt) are built with the same.
set(PROGRAM_FLAGS_DIR ${CMAKE_CURRENT_LIST_DIR})

# Plain procedural code: no exceptions or RTTI to pay for.
set(PROGRAM_COMPILE_OPTIONS
    -Os -Wall -Wextra -fno-exceptions -fno-rtti -ffunction-sections -fdata-sections
    # Code is generated at link time, across the libraries. Fat objects also
    # hold ordinary code, so the test programs link the libraries as they are.
    -flto -ffat-lto-objects
    # Constant tables and strings aligned only as far as the ABI requires.
    -malign-data=abi
    # Fixed paths in the objects, so two clean builds give the same bytes.
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit Windows unwinds through the SEH records on the stack; the DWARF
    # tables GCC adds serve only C++ exceptions, which the programs do without.
    # (64-bit Windows needs its unwind tables: they stay.)
    list(APPEND PROGRAM_COMPILE_OPTIONS -fno-asynchronous-unwind-tables)
endif()

# Static: the exe imports only system DLLs. No link time stamp. The compile
# options again, since the code is generated at link time (and -Os must win
# over the build type's -O3 on the link line).
set(PROGRAM_LINK_OPTIONS -static -s -mwindows -Wl,--no-insert-timestamp -Wl,--gc-sections
    ${PROGRAM_COMPILE_OPTIONS})

set(MANIFEST_RC ${PROGRAM_FLAGS_DIR}/manifest.rc)

# add_windows_program(NAME sources...): a GUI-subsystem WinMain program with
# these flags and the manifest.
function(add_windows_program name)
    add_executable(${name} WIN32 ${ARGN} ${MANIFEST_RC})
    target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${PROGRAM_COMPILE_OPTIONS}>)
    target_link_options(${name} PRIVATE ${PROGRAM_LINK_OPTIONS})
endfunction()

# version_resource(NAME DESCRIPTION FILE_TYPE FILE_NAME): the version
# resource of a shipped file, as version.rc in the current binary folder.
function(version_resource PROGRAM_NAME PROGRAM_DESCRIPTION PROGRAM_FILE_TYPE PROGRAM_FILE_NAME)
    configure_file(${PROGRAM_FLAGS_DIR}/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/version.rc @ONLY)
endfunction()

# add_program(NAME DESCRIPTION sources...): a shipped program in
# dist/<arch>/, with a version resource as well.
function(add_program name description)
    version_resource(${name} "${description}" VFT_APP ${name}.exe)
    add_windows_program(${name} ${ARGN})
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/version.rc)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${DIST_DIR})
endfunction()

# add_program_dll(NAME DESCRIPTION sources...): a shipped DLL in dist/<arch>/,
# with the programs' flags and a version resource, and no manifest (a DLL
# takes its activation context from the program that loads it). The sources
# include a .def file naming the exports, which on x86 are stdcall functions
# exported without their @n.
function(add_program_dll name description)
    version_resource(${name} "${description}" VFT_DLL ${name}.dll)
    add_library(${name} SHARED ${ARGN} ${CMAKE_CURRENT_BINARY_DIR}/version.rc)
    target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${PROGRAM_COMPILE_OPTIONS}>)
    # ld picks a DLL's preferred base from a hash of the output's path by
    # default: a fixed one keeps two builds in different folders identical.
    target_link_options(${name} PRIVATE ${PROGRAM_LINK_OPTIONS} -Wl,--disable-auto-image-base)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_options(${name} PRIVATE -Wl,--enable-stdcall-fixup)
    endif()
    set_target_properties(${name} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${DIST_DIR})
endfunction()

function(add_program_library name)
    add_library(${name} STATIC ${ARGN})
    target_compile_options(${name} PRIVATE ${PROGRAM_COMPILE_OPTIONS})
endfunction()
