# Script mode: see CMakeLists.txt beside this file.
include(${CMAKE_CURRENT_LIST_DIR}/ScriptSteps.cmake)
set(prefix ${WORK_DIR}/prefix)
install_into_fresh_prefix()

# Nothing of the engine's C interface reaches a host.
file(GLOB_RECURSE installed_headers ${prefix}/include/*.h)
foreach(header IN LISTS installed_headers)
    file(READ ${header} text)
    string(TOLOWER "${text}" text)
    if(text MATCHES "sonbrel_mp3|sbmp3_")
        message(FATAL_ERROR "${header} shows the engine's C interface")
    endif()
endforeach()

# Plays `song` (a fresh copy of a test file) with `program`; what the device
# would have heard goes to a file through SDL's disk driver.
function(run_consumer program name)
    set(song ${WORK_DIR}/${name}.mp3)
    file(COPY_FILE ${DATA_DIR}/left_only.mp3 ${song})
    set(heard ${WORK_DIR}/${name}-heard.raw)
    run(${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=${heard}
        ${program} ${song} ${WORK_DIR})
    if(NOT last_output MATCHES "^ok\\|Consumer Title\\|5\\|1 band\\|1 entry\\|1 end\n1 2 host 0")
        message(FATAL_ERROR "unexpected output of ${program}: ${last_output}")
    endif()
    file(SIZE ${heard} heard_bytes)
    if(heard_bytes LESS 100000)
        message(FATAL_ERROR "${program} played only ${heard_bytes} bytes of sound")
    endif()
endfunction()

build_against_prefix(${CONSUMER_DIR} ${WORK_DIR}/consumer)
run_consumer(${WORK_DIR}/consumer/consumer package)

# The same program built with the flags that pkg-config gives.
string(REPLACE ";" " " flags "${EXTRA_FLAGS}")
file(GLOB_RECURSE pc_files ${prefix}/*/TarnelMP3.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --cflags --libs TarnelMP3)
string(STRIP "${last_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra UNIX_COMMAND "${flags}")
run(${CXX_COMPILER} -std=c++20 -fPIC ${extra} ${CONSUMER_DIR}/main.cpp -o ${WORK_DIR}/pc_consumer
    ${pc_flags})
file(GLOB_RECURSE lib_file ${prefix}/*/libTarnelMP3.so)
get_filename_component(lib_dir ${lib_file} DIRECTORY)
set(ENV{LD_LIBRARY_PATH} ${lib_dir})
run_consumer(${WORK_DIR}/pc_consumer pkg-config)
