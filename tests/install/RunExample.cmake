# Script mode: see CMakeLists.txt beside this file.
include(${CMAKE_CURRENT_LIST_DIR}/ScriptSteps.cmake)
set(prefix ${WORK_DIR}/prefix)
install_into_fresh_prefix()
set(song ${WORK_DIR}/song.mp3)
file(COPY_FILE ${DATA_DIR}/left_only.mp3 ${song})
unset(ENV{LD_LIBRARY_PATH})

# The command-line tool and its man page; the tool finds the library from
# its own folder.
if(NOT EXISTS ${prefix}/share/man/man1/sbmp3.1)
    message(FATAL_ERROR "sbmp3.1 is not installed")
endif()
run(${prefix}/bin/sbmp3 info --json ${song})
if(NOT last_output MATCHES "\"sampleRate\": 44100")
    message(FATAL_ERROR "unexpected output of the installed sbmp3: ${last_output}")
endif()

# The Designer plugin, where Qt looks under the prefix, found through
# QT_PLUGIN_PATH by the plugin's test (which links nothing of the library:
# the installed plugin finds the installed library on its own).
set(plugin_path ${prefix}/${QT_PLUGIN_DIR})
if(NOT EXISTS ${plugin_path}/designer/libtarnelmp3designer.so)
    message(FATAL_ERROR "the Designer plugin is not in ${plugin_path}/designer")
endif()
run(${CMAKE_COMMAND} -E env QT_PLUGIN_PATH=${plugin_path} QT_QPA_PLATFORM=offscreen
    ${PLUGIN_TEST} --gtest_filter=DesignerPlugin.ListsBothControlsInTheTarnelMP3GroupAndMakesThem)
if(NOT last_output MATCHES "PASSED.*1 test")
    message(FATAL_ERROR "the installed plugin's test ran no test: ${last_output}")
endif()

# The example player, built on its own against the installed package, plays
# a playlist's track through SDL's disk driver and its meter moves.
build_against_prefix(${EXAMPLE_DIR} ${WORK_DIR}/player)
file(WRITE ${WORK_DIR}/list.m3u "#EXTM3U\r\nsong.mp3\r\n")
set(heard ${WORK_DIR}/heard.raw)
run(${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=${heard}
    ${WORK_DIR}/player/tarnel-player --play --quit-at-end ${WORK_DIR}/list.m3u)
if(NOT last_output MATCHES "played [^\n]*song.mp3, loudest peak ([0-9]+) %")
    message(FATAL_ERROR "the example played nothing: ${last_output}")
endif()
if(CMAKE_MATCH_1 LESS 10)
    message(FATAL_ERROR "the example's meter did not move: ${last_output}")
endif()
file(SIZE ${heard} heard_bytes)
if(heard_bytes LESS 100000)
    message(FATAL_ERROR "the example played only ${heard_bytes} bytes of sound")
endif()
