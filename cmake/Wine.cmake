# Every Windows program of the build (tests, tools run at build time) runs through wine-run,
# in a Wine prefix that belongs to this build tree, of the build's architecture: a 64-bit prefix
# for the 64-bit build (it runs 32-bit programs too), a 32-bit one for the 32-bit build.
# A win64 prefix is run by the 64-bit loader: started by the 32-bit one, a system program named
# without a folder (regsvr32, cscript, reg) would be the 32-bit one.
if(KV_WIN64)
    set(KV_WINEARCH win64)
    find_program(KV_WINE_LOADER wine64 PATHS /usr/lib/wine REQUIRED NO_DEFAULT_PATH)
else()
    set(KV_WINEARCH win32)
    find_program(KV_WINE_LOADER wine REQUIRED)
endif()
set(KV_WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
configure_file("${CMAKE_CURRENT_LIST_DIR}/wine-run.in" "${CMAKE_BINARY_DIR}/wine-run" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(KV_WINE_RUN "${CMAKE_BINARY_DIR}/wine-run")
set(CMAKE_CROSSCOMPILING_EMULATOR "${KV_WINE_RUN}")
