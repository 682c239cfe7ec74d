# Restart hand-off, patch-program command line, ExecAndWait and the carried programs.
target_sources(kelvra_update PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/restart_handoff.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exec_and_wait.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exec_animation_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/carried_programs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/${KELVRA_PLATFORM}/process_runner_${KELVRA_PLATFORM}.cpp
    ${CMAKE_CURRENT_LIST_DIR}/${KELVRA_PLATFORM}/carried_programs_${KELVRA_PLATFORM}.cpp)
