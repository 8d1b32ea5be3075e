# Unregisters both modules with regsvr32 /u (plug-in first), checks that their keys are gone,
# then registers them again. Usage: cmake -D WINE_RUN=... -D PLUGIN=... -D HOST=... -P UnregisterAndRestore.cmake
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

run(regsvr32 /u /s "${PLUGIN}")
run(regsvr32 /u /s "${HOST}")

set(keys
    "HKCR\\CLSID\\{CD0257E4-6183-4688-9DB6-93270B232B36}"
    "HKCR\\KVStVB7Default.KVStPluginDefault"
    "HKCR\\TypeLib\\{34778468-C70C-41D8-B056-534670D04504}"
    "HKCR\\Interface\\{703692C1-A175-460F-802A-00212E97798C}"
    "HKCR\\CLSID\\{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}"
    "HKCR\\KVStMgr.KVStError"
    "HKCR\\TypeLib\\{5AD9730A-AC1B-43F5-B402-D1459B883132}"
    "HKCR\\Interface\\{3FCC709D-48D7-4093-9C5A-19958B7446F1}"
    "HKCR\\Interface\\{5E6BC576-18D1-4158-AB1F-98784B5B59A9}")
function(expect_keys present)
    foreach(key IN LISTS keys)
        wine(missing reg query "${key}")
        if(present AND missing)
            message(FATAL_ERROR "not registered: ${key}")
        elseif(NOT present AND NOT missing)
            message(FATAL_ERROR "still registered after regsvr32 /u: ${key}")
        endif()
    endforeach()
endfunction()

expect_keys(FALSE)
run(regsvr32 /s "${HOST}")
run(regsvr32 /s "${PLUGIN}")
expect_keys(TRUE)
message(STATUS "unregistered, checked and registered again")
