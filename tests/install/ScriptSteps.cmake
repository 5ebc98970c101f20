# Steps the install tests' scripts share (script mode).

# Runs a command; fails the test with its output when it does not succeed.
# Its standard output is left in `last_output`.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err
        TIMEOUT 300)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}\n${err}")
    endif()
    set(last_output "${out}" PARENT_SCOPE)
endfunction()

# A fresh work folder with the project installed in WORK_DIR/prefix.
function(install_into_fresh_prefix)
    file(REMOVE_RECURSE ${WORK_DIR})
    file(MAKE_DIRECTORY ${WORK_DIR})
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
endfunction()

# Configures and builds the CMake project in `source` in `binary` against
# the package installed in WORK_DIR/prefix, with the compiler and the
# sanitizer flags of the project's build.
function(build_against_prefix source binary)
    string(REPLACE ";" " " flags "${EXTRA_FLAGS}")
    run(${CMAKE_COMMAND} -S ${source} -B ${binary} -G ${GENERATOR}
        -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
        -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
        "-DCMAKE_CXX_FLAGS=${flags}"
        "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
    run(${CMAKE_COMMAND} --build ${binary})
endfunction()
