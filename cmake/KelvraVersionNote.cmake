# kelvra_file_version_note(target): gives a Linux executable the product version as its file
# version (the ELF note that the update engine reads, see src/update/file_version_note.h).
function(kelvra_file_version_note target)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_note.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT
"#include \"update/file_version_note.h\"\n\nKELVRA_FILE_VERSION_NOTE(${PROJECT_VERSION_MAJOR}, \
${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, ${PROJECT_VERSION_TWEAK});\n")
    target_sources(${target} PRIVATE ${source})
endfunction()
