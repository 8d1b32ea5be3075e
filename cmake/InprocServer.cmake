# kv_inproc_server(<name> SOURCES files... [LIBS libraries...])
# Builds the self-registering in-process COM server <name>.dll (no "lib" prefix) with the shared
# entry point and exports of com/ServerExports.cpp; its sources define kv::server::ServedClasses().
include_guard(GLOBAL)

function(kv_inproc_server name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    set(com "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../com")
    add_library(${name} SHARED ${ARG_SOURCES} "${com}/ServerExports.cpp" "${com}/ServerExports.def")
    set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME "${name}")
    target_link_libraries(${name} PRIVATE kvcom ${ARG_LIBS})
    # The .def names the exports undecorated; the linker maps them to the __stdcall symbols.
    target_link_options(${name} PRIVATE -Wl,--enable-stdcall-fixup)
endfunction()
