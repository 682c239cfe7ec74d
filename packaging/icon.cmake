# The application icon, rendered from packaging/kelvraedu.svg at build time:
#   ${KELVRA_ICON_DIR}/kelvraedu.ico     16, 24, 32, 48, 64 and 256 pixels (the 256 one as PNG)
#   ${KELVRA_ICON_DIR}/<size>/kelvraedu.png   the same sizes and 128 for the Linux icon theme
# Target kelvra_icon makes them; include this file wherever a target needs them (the first
# inclusion defines the target, every one sets the variables).
set(KELVRA_ICON_SOURCE ${CMAKE_CURRENT_LIST_DIR}/kelvraedu.svg)
set(KELVRA_ICON_DIR ${CMAKE_BINARY_DIR}/icon)
set(KELVRA_ICON_ICO ${KELVRA_ICON_DIR}/kelvraedu.ico)
set(KELVRA_ICON_ICO_SIZES 16 24 32 48 64 256)
set(KELVRA_ICON_PNG_SIZES 16 24 32 48 64 128 256)
if(TARGET kelvra_icon)
    return()
endif()

find_program(KELVRA_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(KELVRA_ICOTOOL icotool REQUIRED)

set(pngs)
foreach(size IN LISTS KELVRA_ICON_PNG_SIZES)
    set(png ${KELVRA_ICON_DIR}/${size}/kelvraedu.png)
    add_custom_command(
        OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${KELVRA_ICON_DIR}/${size}
        COMMAND ${KELVRA_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${KELVRA_ICON_SOURCE}
        DEPENDS ${KELVRA_ICON_SOURCE}
        COMMENT "Rendering the ${size}-pixel icon")
    list(APPEND pngs ${png})
    if(size IN_LIST KELVRA_ICON_ICO_SIZES)
        if(size EQUAL 256)
            list(APPEND ico_args --raw=${png})  # Windows keeps the large size PNG-compressed
        else()
            list(APPEND ico_args ${png})
        endif()
        list(APPEND ico_pngs ${png})
    endif()
endforeach()
add_custom_command(
    OUTPUT ${KELVRA_ICON_ICO}
    COMMAND ${KELVRA_ICOTOOL} -c -o ${KELVRA_ICON_ICO} ${ico_args}
    DEPENDS ${ico_pngs}
    COMMENT "Packing the application icon (.ico)")
add_custom_target(kelvra_icon ALL DEPENDS ${KELVRA_ICON_ICO} ${pngs})
