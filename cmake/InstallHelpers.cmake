# Helpers for the install(CODE) rules. They run at install time, when the
# prefix (CMAKE_INSTALL_PREFIX, which `cmake --install --prefix` may set)
# and DESTDIR are known. Paths are given as installed (no DESTDIR); files
# land under DESTDIR.

# The installed path of an install folder: `dir` below the prefix, or
# `dir` itself when it is absolute.
function(kestrum_install_path out dir)
    if(IS_ABSOLUTE "${dir}")
        set(${out} "${dir}" PARENT_SCOPE)
    else()
        set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
    endif()
endfunction()

# Installs `source` into `folder` unless a file of its name is there: a
# settings file that a user changed stays as it is.
function(kestrum_install_if_missing source folder)
    get_filename_component(name "${source}" NAME)
    if(EXISTS "$ENV{DESTDIR}${folder}/${name}")
        message(STATUS "Keeping: $ENV{DESTDIR}${folder}/${name}")
    else()
        file(INSTALL DESTINATION "${folder}" TYPE FILE FILES "${source}")
    endif()
endfunction()

# The Exec value of a desktop entry that runs `program` (a full path): the
# path in double quotes with ", `, $ and \ escaped when it holds a reserved
# character, "%" doubled, then escaped as a string of the entry file.
function(kestrum_desktop_exec out program)
    if(program MATCHES "[\n\r]")
        message(FATAL_ERROR "A desktop entry cannot run a program whose path holds a line break: ${program}")
    endif()
    set(exec "${program}")
    if(exec MATCHES "[ \t\"'\\\\><~|&;$*?#()`]")
        string(REPLACE "\\" "\\\\" exec "${exec}")
        string(REPLACE "\"" "\\\"" exec "${exec}")
        string(REPLACE "`" "\\`" exec "${exec}")
        string(REPLACE "$" "\\$" exec "${exec}")
        set(exec "\"${exec}\"")
    endif()
    string(REPLACE "%" "%%" exec "${exec}")
    string(REPLACE "\\" "\\\\" exec "${exec}")
    set(${out} "${exec}" PARENT_SCOPE)
endfunction()

# Installs the file `name`, made from `template` with the caller's
# variables (@VAR@), into `folder`, and lists it among the installed files.
# It is made in place: a scratch copy in the build folder would belong to
# whoever installed first (root, say) and stop a later install by another.
function(kestrum_install_configured template folder name)
    set(target "$ENV{DESTDIR}${folder}/${name}")
    message(STATUS "Installing: ${target}")
    configure_file("${template}" "${target}" @ONLY)
    set(CMAKE_INSTALL_MANIFEST_FILES ${CMAKE_INSTALL_MANIFEST_FILES} "${target}" PARENT_SCOPE)
endfunction()

# Records the controls of the installed `library` in the machine-wide
# registry store `store` for every user, by running the installed
# registration `tool`. The store may hold the records of other libraries
# too, so it is changed, never replaced, and is not listed among the files
# to remove on uninstalling (`tarnel-register --unregister --machine`
# removes the records).
function(kestrum_register_machine tool library store)
    set(saved "$ENV{ASAN_OPTIONS}")
    set(ENV{ASAN_OPTIONS} "detect_leaks=0")
    execute_process(
        COMMAND "$ENV{DESTDIR}${tool}" --machine --store "$ENV{DESTDIR}${store}" --as "${library}"
                "$ENV{DESTDIR}${library}"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    set(ENV{ASAN_OPTIONS} "${saved}")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Recording the controls of ${library} for every user failed:\n${output}")
    endif()
    message(STATUS "Registered for every user: ${library} in $ENV{DESTDIR}${store}")
endfunction()
