# Compiles an IDL file with widl into a C/C++ header, its identifiers (_i.c) and, when the file
# holds a library, a type library.
find_program(KV_WIDL widl REQUIRED)
set(KV_WINE_IDL_DIR /usr/include/wine/wine/windows)
# Type libraries describe the target's pointer size; each architecture imports its own stdole2.tlb.
if(KV_WIN64)
    set(KV_WIDL_TARGET --win64)
    set(KV_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
else()
    set(KV_WIDL_TARGET --win32)
    set(KV_STDOLE_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)
endif()

# kv_idl(<target> <idl file> [TYPELIB] [INCLUDE_DIRS dirs...] [LIB_DIRS dirs...] [DEPENDS files...])
# LIB_DIRS are searched for the type libraries that the file imports.
# Makes a static library <target> holding the identifiers, whose users see the header.
# With TYPELIB the type library is written to ${CMAKE_CURRENT_BINARY_DIR}/<name>.tlb.
function(kv_idl target idl)
    cmake_parse_arguments(ARG "TYPELIB" "" "INCLUDE_DIRS;LIB_DIRS;DEPENDS" ${ARGN})
    get_filename_component(name "${idl}" NAME_WE)
    get_filename_component(idl_path "${idl}" ABSOLUTE)
    set(out "${CMAKE_CURRENT_BINARY_DIR}")
    set(outputs "${out}/${name}.h" "${out}/${name}_i.c")
    set(flags)
    if(ARG_TYPELIB)
        set(flags -t)
        list(APPEND outputs "${out}/${name}.tlb")
    endif()
    set(includes -I "${KV_WINE_IDL_DIR}")
    foreach(dir IN LISTS ARG_INCLUDE_DIRS)
        list(APPEND includes -I "${dir}")
    endforeach()
    foreach(dir IN LISTS ARG_LIB_DIRS)
        list(APPEND includes -L "${dir}")
    endforeach()
    add_custom_command(
        OUTPUT ${outputs}
        COMMAND "${KV_WIDL}" ${KV_WIDL_TARGET} ${includes} -L "${KV_STDOLE_DIR}" -L "${out}" -h -u ${flags}
                -o "${out}/${name}" "${idl_path}"
        DEPENDS "${idl_path}" ${ARG_DEPENDS}
        COMMENT "widl ${name}.idl"
        VERBATIM)
    add_library(${target} STATIC "${out}/${name}_i.c" "${out}/${name}.h")
    target_include_directories(${target} PUBLIC "${out}")
    # widl writes the identifiers with DEFINE_GUID; the C file must instantiate them.
    target_compile_definitions(${target} PRIVATE INITGUID)
endfunction()
