# Warnings and sanitizers shared by every target of the project.

add_library(project_options INTERFACE)
target_compile_options(project_options INTERFACE
    $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Wpedantic>
    $<$<BOOL:${KESTRUM_WERROR}>:-Werror>)

if(KESTRUM_SANITIZE)
    set(KESTRUM_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    add_compile_options(${KESTRUM_SANITIZER_FLAGS})
    add_link_options(-fsanitize=address,undefined)
endif()

# A fuzzing build (clang only): every target carries coverage instrumentation,
# so the fuzz targets in fuzz/ see the library's code, not just their own.
if(KESTRUM_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "KESTRUM_FUZZ needs clang (CC=clang CXX=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Registers a GoogleTest executable with CTest under the given labels.
#   kestrum_add_gtest(NAME name [TEST_PREFIX prefix] SOURCES ... LIBRARIES ... LABELS unit|gui|slow ...)
# TEST_PREFIX tells apart two programs that run the same test sources.
# Tests see no machine-wide registry store (not the build folder's, which
# programs started from the build folder use) unless they make their own.
function(kestrum_add_gtest)
    cmake_parse_arguments(ARG "" "NAME;TEST_PREFIX" "SOURCES;LIBRARIES;LABELS" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE project_options GTest::gtest GTest::gmock
        GTest::gtest_main platform_leak_check ${ARG_LIBRARIES})
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    gtest_discover_tests(${ARG_NAME}
        TEST_PREFIX "${ARG_TEST_PREFIX}"
        PROPERTIES LABELS "${ARG_LABELS}"
                   ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                   ENVIRONMENT_MODIFICATION
                       "TARNEL_PLATFORM_MACHINE_STORE=set:${PROJECT_BINARY_DIR}/tests/no-machine-store/registry.ini"
        DISCOVERY_TIMEOUT 60)
endfunction()
