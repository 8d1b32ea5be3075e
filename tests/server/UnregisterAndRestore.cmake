# Unregisters both modules with regsvr32 /u (plug-in first), checks that their keys are gone,
# then registers them again, in the registry view of their architecture (VIEW 32 or 64).
# In a win64 prefix, OTHER_PLUGIN and OTHER_HOST name the 32-bit modules: registered beside the
# 64-bit ones and unregistered again, in either order, neither takes away what the other uses.
# Usage: cmake -D WINE_RUN=... -D PLUGIN=... -D HOST=... -D VIEW=...
#              [-D OTHER_PLUGIN=... -D OTHER_HOST=... -D VBS=...] -P UnregisterAndRestore.cmake
cmake_minimum_required(VERSION 3.25)

# Output goes to a file, not a pipe: a Wine server started here inherits the output handles and
# would keep a pipe open until it exits, seconds after each program.
set(log "${CMAKE_CURRENT_BINARY_DIR}/unregister_and_restore.log")
function(wine result)
    execute_process(COMMAND "${WINE_RUN}" ${ARGN} RESULT_VARIABLE code OUTPUT_FILE "${log}" ERROR_FILE "${log}")
    set(${result} "${code}" PARENT_SCOPE)
endfunction()

function(run)
    wine(failed ${ARGN})
    if(failed)
        file(READ "${log}" output)
        message(FATAL_ERROR "failed (${failed}): ${ARGN}\n${output}")
    endif()
endfunction()

set(plugin_class "HKCR\\CLSID\\{CD0257E4-6183-4688-9DB6-93270B232B36}")
set(host_class "HKCR\\CLSID\\{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}")
set(keys
    "${plugin_class}"
    "HKCR\\KVStVB7Default.KVStPluginDefault"
    "HKCR\\TypeLib\\{34778468-C70C-41D8-B056-534670D04504}"
    "HKCR\\Interface\\{703692C1-A175-460F-802A-00212E97798C}"
    "${host_class}"
    "HKCR\\KVStMgr.KVStError"
    "HKCR\\TypeLib\\{5AD9730A-AC1B-43F5-B402-D1459B883132}"
    "HKCR\\Interface\\{3FCC709D-48D7-4093-9C5A-19958B7446F1}"
    "HKCR\\Interface\\{5E6BC576-18D1-4158-AB1F-98784B5B59A9}")
# Each view is read by a reg program of its architecture (this Wine's 64-bit reg with /reg:32 does
# not see the keys that both views share).
if(VIEW STREQUAL "64")
    set(reg_64 "C:\\windows\\system32\\reg.exe")
    set(reg_32 "C:\\windows\\syswow64\\reg.exe")
else()
    set(reg_32 reg)
endif()
# expect(present|absent view keys...)
function(expect state view)
    foreach(key IN LISTS ARGN)
        wine(missing "${reg_${view}}" query "${key}")
        if(state STREQUAL "present" AND missing)
            message(FATAL_ERROR "not registered in the ${view}-bit view: ${key}")
        elseif(state STREQUAL "absent" AND NOT missing)
            message(FATAL_ERROR "still registered in the ${view}-bit view: ${key}")
        endif()
    endforeach()
endfunction()

run(regsvr32 /u /s "${PLUGIN}")
run(regsvr32 /u /s "${HOST}")
expect(absent ${VIEW} ${keys})
run(regsvr32 /s "${HOST}")
run(regsvr32 /s "${PLUGIN}")
expect(present ${VIEW} ${keys})

if(OTHER_PLUGIN)
    set(regsvr32_32 "C:\\windows\\syswow64\\regsvr32.exe")
    # A script client of each architecture creates the plug-in that its view registers.
    function(expect_script_client cscript)
        wine(failed "${cscript}" //nologo "${VBS}")
        file(READ "${log}" output)
        if(failed OR NOT output MATCHES "Version=1\\.0")
            message(FATAL_ERROR "${cscript} cannot create the plug-in (${failed}):\n${output}")
        endif()
    endfunction()

    expect(absent 32 "${plugin_class}" "${host_class}")
    run("${regsvr32_32}" /s "${OTHER_HOST}")
    run("${regsvr32_32}" /s "${OTHER_PLUGIN}")
    expect(present 32 ${keys})
    expect(present 64 ${keys})
    expect_script_client("C:\\windows\\syswow64\\cscript.exe")
    expect_script_client("C:\\windows\\system32\\cscript.exe")

    # The 32-bit modules go: the 64-bit registration is whole and works.
    run("${regsvr32_32}" /u /s "${OTHER_PLUGIN}")
    run("${regsvr32_32}" /u /s "${OTHER_HOST}")
    expect(absent 32 "${plugin_class}" "${host_class}")
    expect(present 64 ${keys})
    expect_script_client("C:\\windows\\system32\\cscript.exe")

    # And the other way round.
    run("${regsvr32_32}" /s "${OTHER_HOST}")
    run("${regsvr32_32}" /s "${OTHER_PLUGIN}")
    run(regsvr32 /u /s "${PLUGIN}")
    run(regsvr32 /u /s "${HOST}")
    expect(absent 64 "${plugin_class}" "${host_class}")
    expect(present 32 ${keys})
    expect_script_client("C:\\windows\\syswow64\\cscript.exe")

    # The last one to go takes everything with it; then the prefix is left as the set-up made it.
    run("${regsvr32_32}" /u /s "${OTHER_PLUGIN}")
    run("${regsvr32_32}" /u /s "${OTHER_HOST}")
    expect(absent 32 ${keys})
    expect(absent 64 ${keys})
    run(regsvr32 /s "${HOST}")
    run(regsvr32 /s "${PLUGIN}")
    expect(present 64 ${keys})
endif()
message(STATUS "unregistered, checked and registered again")
