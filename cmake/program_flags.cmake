# Flags of the shipped programs and the libraries they are made of.

# Plain procedural code: no exceptions or RTTI to pay for.
set(PROGRAM_COMPILE_OPTIONS
    -Os -Wall -Wextra -fno-exceptions -fno-rtti -ffunction-sections -fdata-sections
    # Fixed paths in the objects, so two clean builds give the same bytes.
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)

# Static: the exe imports only system DLLs. No link time stamp.
set(PROGRAM_LINK_OPTIONS -static -s -mwindows -Wl,--no-insert-timestamp -Wl,--gc-sections)

set(MANIFEST_RC ${CMAKE_SOURCE_DIR}/cmake/manifest.rc)

# add_program(NAME DESCRIPTION sources...): a GUI-subsystem WinMain program in
# dist/<arch>/, with the manifest and a version resource.
function(add_program name description)
    set(PROGRAM_NAME ${name})
    set(PROGRAM_DESCRIPTION ${description})
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/version.rc @ONLY)
    add_executable(${name} WIN32 ${ARGN} ${MANIFEST_RC} ${CMAKE_CURRENT_BINARY_DIR}/version.rc)
    target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${PROGRAM_COMPILE_OPTIONS}>)
    target_link_options(${name} PRIVATE ${PROGRAM_LINK_OPTIONS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${DIST_DIR})
endfunction()

function(add_program_library name)
    add_library(${name} STATIC ${ARGN})
    target_compile_options(${name} PRIVATE ${PROGRAM_COMPILE_OPTIONS})
endfunction()
