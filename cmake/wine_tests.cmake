# Every test of this build tree runs in one throwaway Wine prefix of its own,
# made by the setup fixture (with the IME file in its system folders) and
# removed by the cleanup fixture.
set(TEST_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

add_test(NAME wine_prefix_create_${TARGET_ARCH}
         COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-prefix.sh create ${TEST_WINEPREFIX} win64 ${DIST_ROOT}/ime)
add_test(NAME wine_prefix_destroy_${TARGET_ARCH}
         COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-prefix.sh destroy ${TEST_WINEPREFIX})
set_tests_properties(wine_prefix_create_${TARGET_ARCH} PROPERTIES FIXTURES_SETUP wine_${TARGET_ARCH})
set_tests_properties(wine_prefix_destroy_${TARGET_ARCH} PROPERTIES FIXTURES_CLEANUP wine_${TARGET_ARCH})

# add_wine_test_program(NAME sources...): a GoogleTest program, one CTest test per case.
function(add_wine_test_program name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE test_support)
    target_link_options(${name} PRIVATE -static)
    gtest_add_tests(TARGET ${name} SOURCES ${ARGN} TEST_PREFIX "${TARGET_ARCH}." TEST_LIST cases)
    set_tests_properties(${cases} PROPERTIES
        FIXTURES_REQUIRED wine_${TARGET_ARCH}
        ENVIRONMENT "KBREG_WINEPREFIX=${TEST_WINEPREFIX}"
        TIMEOUT 120)
    set(${name}_CASES ${cases} PARENT_SCOPE)
endfunction()
