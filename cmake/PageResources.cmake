# The wizard's resources: the page layouts of src/dialogs/forms and our own pictures, drawn at
# build time with ImageMagick. tav_page_resources(target [more forms...]) gives them to a program.
find_program(TAV_CONVERT NAMES convert REQUIRED)
set(TAV_PICTURE_DIR ${CMAKE_BINARY_DIR}/pictures)
file(MAKE_DIRECTORY ${TAV_PICTURE_DIR})
set(face "#f0f0f0")

# name, then the convert arguments that draw it.
set(TAV_PICTURES INSTALLTHEME1 TAVEXTRACT TAVTRANSFER TAVDISK TAVCANCEL TAVDRIVE TAVSHORTAGE)
# The theme: a package receiving what is installed, on a blue ground.
set(draw_INSTALLTHEME1 -size 117x290 "gradient:#123b6b-#3f86c6"
    -fill "rgba(255,255,255,0.10)" -draw "circle 20,40 20,95" -draw "circle 100,120 100,150"
    -draw "circle 60,-10 60,40"
    -fill "#f2c14e" -stroke "#8a6414" -strokewidth 1 -draw "polygon 58,176 98,196 58,216 18,196"
    -fill "#d9a23a" -draw "polygon 18,196 58,216 58,262 18,242"
    -fill "#b9822a" -draw "polygon 58,216 98,196 98,242 58,262"
    -stroke "#8a6414" -draw "line 38,186 78,206"
    -stroke none -fill "#ffffff" -draw "polygon 50,112 66,112 66,140 78,140 58,164 38,140 50,140")
# A box with an arrow coming out of it.
set(draw_TAVEXTRACT -size 36x37 "xc:${face}"
    -fill "#e8b84a" -stroke "#7a5a10" -draw "rectangle 4,16 31,34" -draw "line 4,22 31,22"
    -fill "#1f5fbf" -stroke "#123a75" -draw "polygon 18,1 28,11 22,11 22,19 14,19 14,11 8,11")
# Two computers joined by a line, the second one receiving.
set(draw_TAVTRANSFER -size 37x36 "xc:${face}"
    -fill "#cfe3ff" -stroke "#2a4a7a" -draw "rectangle 1,4 15,14" -draw "rectangle 21,20 35,30"
    -stroke "#1f5fbf" -draw "line 8,16 8,25" -draw "line 8,25 19,25"
    -fill "#1f5fbf" -draw "polygon 19,21 23,25 19,29")
# A disk seen from the front, standing on a drive.
set(draw_TAVDISK -size 57x113 "xc:${face}"
    -fill "#30353c" -stroke "#101215" -draw "rectangle 6,20 50,66"
    -fill "#c8ccd2" -stroke none -draw "rectangle 16,20 40,36" -fill "#30353c" -draw "rectangle 32,23 37,33"
    -fill "#f4f4f4" -draw "rectangle 12,44 44,64"
    -fill "#b9bec6" -stroke "#5a606a" -draw "rectangle 2,76 54,104" -fill "#202428" -draw "rectangle 10,84 46,88"
    -fill "#3cb043" -stroke none -draw "rectangle 44,96 50,99")
# The Cancel glyph: a red cross.
set(draw_TAVCANCEL -size 16x16 "xc:${face}"
    -stroke "#c41e1e" -strokewidth 3 -draw "line 3,3 12,12" -draw "line 12,3 3,12")
# A hard disk drive: a grey case with its light, for the drive list.
set(draw_TAVDRIVE -size 16x16 "xc:${face}"
    -fill "#b9bec6" -stroke "#4a505a" -draw "rectangle 1,5 14,11" -stroke none
    -fill "#3cb043" -draw "rectangle 11,8 12,9" -fill "#6a707a" -draw "rectangle 3,8 8,9")
# Not enough space: a red disc with a white bar.
set(draw_TAVSHORTAGE -size 16x16 "xc:${face}"
    -fill "#d0261e" -stroke "#8a140f" -draw "circle 7,7 7,1" -stroke none -fill "#ffffff" -draw "rectangle 4,6 11,8")

set(TAV_PICTURE_LINES "")
set(TAV_PICTURE_FILES "")
foreach(name IN LISTS TAV_PICTURES)
  set(bmp ${TAV_PICTURE_DIR}/${name}.bmp)
  add_custom_command(OUTPUT ${bmp}
    COMMAND ${TAV_CONVERT} ${draw_${name}} -type TrueColor "BMP3:${bmp}"
    COMMENT "Drawing the picture ${name}" VERBATIM)
  string(APPEND TAV_PICTURE_LINES "${name} BITMAP \"${bmp}\"\n")
  list(APPEND TAV_PICTURE_FILES ${bmp})
endforeach()
add_custom_target(tav_pictures DEPENDS ${TAV_PICTURE_FILES})

file(GLOB TAV_PAGE_FORMS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/dialogs/forms/*.txt)

function(tav_page_resources target)
  tav_form_resources(${target} ${TAV_PAGE_FORMS} ${ARGN})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_pictures.rc)
  file(GENERATE OUTPUT ${rc} CONTENT "${TAV_PICTURE_LINES}")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${TAV_PICTURE_FILES}")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} tav_pictures)
endfunction()
