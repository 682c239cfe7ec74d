# kelvra_carry_update_programs(target): the executable target carries the update engine's
# restart program and patch program.
#   Windows: adds a resource script with RCDATA "UPD" (the restart program packed in the
#            SZDD format, "kusetup.ex_") and RCDATA "UTIL" (the patch program, "patcher.exe").
#   Linux:   copies "kusetup.ex_" and "patcher" beside the executable after each build and
#            installs them into the same folder as the executable.
# The programs are built by tools/ (target kelvra_carried_programs); include this file and
# call the function from any CMakeLists.txt.
function(kelvra_carry_update_programs target)
    set(bin ${CMAKE_BINARY_DIR}/bin)
    add_dependencies(${target} kelvra_carried_programs)
    if(WIN32)
        set(rc ${CMAKE_BINARY_DIR}/carried/${target}_carried.rc)
        file(WRITE ${rc}
             "UPD RCDATA \"${bin}/kusetup.ex_\"\nUTIL RCDATA \"${bin}/patcher.exe\"\n")
        target_sources(${target} PRIVATE ${rc})
        set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
                                    "${bin}/kusetup.ex_;${bin}/patcher.exe")
    else()
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${bin}/kusetup.ex_ ${bin}/patcher
                    $<TARGET_FILE_DIR:${target}>)
        install(FILES ${bin}/kusetup.ex_ DESTINATION bin)
        install(PROGRAMS ${bin}/patcher DESTINATION bin)
    endif()
endfunction()
