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

# The language flags of the language page: 126 x 45 with the flag at the left on olive (128, 128, 0),
# the colour the page draws as transparent. No anti-aliasing, so no edge pixel is nearly olive.
set(olive "#808000")
set(flag_ground -size 126x45 "xc:${olive}" +antialias)
# Olive again around the flag (thick lines may reach past it), then a thin frame.
set(flag_frame -stroke none -fill "${olive}" -draw "rectangle 0,0 1,44" -draw "rectangle 65,0 125,44"
    -draw "rectangle 0,0 125,0" -draw "rectangle 0,43 125,44"
    -fill none -stroke "#505050" -strokewidth 1 -draw "rectangle 2,1 64,42")
list(APPEND TAV_PICTURES BM_LANG_NONE BM_LANG_SIMPCHINESE BM_LANG_CZECH BM_LANG_DANISH BM_LANG_ENGLISH
     BM_LANG_FRENCH BM_LANG_GERMAN BM_LANG_GREEK BM_LANG_HEBREW BM_LANG_ITALIAN BM_LANG_JAPANESE BM_LANG_KOREAN
     BM_LANG_POLISH BM_LANG_PORTUGESE BM_LANG_RUSSIAN BM_LANG_SPANISH BM_LANG_VIETNAMESE BM_LANG_DUTCH)
# No language: a blank white flag.
set(draw_BM_LANG_NONE ${flag_ground} -fill white -draw "rectangle 2,1 64,42" ${flag_frame})
# Red with a large and four small yellow stars.
set(draw_BM_LANG_SIMPCHINESE ${flag_ground} -fill "#de2910" -draw "rectangle 2,1 64,42" -fill "#ffde00"
    -draw "polygon 14,6 15,10 20,10 16,13 18,17 14,14 10,17 12,13 8,10 13,10"
    -draw "polygon 24,3 24,4 26,4 25,5 25,7 24,6 23,7 23,5 22,4 24,4"
    -draw "polygon 27,7 27,8 29,8 28,9 28,11 27,10 26,11 26,9 25,8 27,8"
    -draw "polygon 27,12 27,13 29,13 28,14 28,16 27,15 26,16 26,14 25,13 27,13"
    -draw "polygon 24,16 24,17 26,17 25,18 25,20 24,19 23,20 23,18 22,17 24,17" ${flag_frame})
# White over red, a blue wedge from the hoist.
set(draw_BM_LANG_CZECH ${flag_ground} -fill white -draw "rectangle 2,1 64,21" -fill "#d7141a"
    -draw "rectangle 2,22 64,42" -fill "#11457e" -draw "polygon 2,1 33,21 33,22 2,42" ${flag_frame})
# Red with a white cross nearer the hoist.
set(draw_BM_LANG_DANISH ${flag_ground} -fill "#c8102e" -draw "rectangle 2,1 64,42" -fill white
    -draw "rectangle 20,1 25,42" -draw "rectangle 2,19 64,24" ${flag_frame})
# Blue with white and red diagonals and a white-edged red cross.
set(draw_BM_LANG_ENGLISH ${flag_ground} -fill "#012169" -draw "rectangle 2,1 64,42"
    -stroke white -strokewidth 8 -draw "line 2,1 64,42" -draw "line 64,1 2,42"
    -stroke "#c8102e" -strokewidth 3 -draw "line 2,1 64,42" -draw "line 64,1 2,42" -stroke none
    -fill white -draw "rectangle 27,1 39,42" -draw "rectangle 2,16 64,27"
    -fill "#c8102e" -draw "rectangle 29,1 37,42" -draw "rectangle 2,18 64,25" ${flag_frame})
# Blue, white and red upright bands.
set(draw_BM_LANG_FRENCH ${flag_ground} -fill "#0055a4" -draw "rectangle 2,1 22,42" -fill white
    -draw "rectangle 23,1 43,42" -fill "#ef4135" -draw "rectangle 44,1 64,42" ${flag_frame})
# Black, red and gold bands.
set(draw_BM_LANG_GERMAN ${flag_ground} -fill black -draw "rectangle 2,1 64,14" -fill "#dd0000"
    -draw "rectangle 2,15 64,28" -fill "#ffce00" -draw "rectangle 2,29 64,42" ${flag_frame})
# Blue and white stripes, a white cross on blue in the canton.
set(draw_BM_LANG_GREEK ${flag_ground} -fill "#0d5eaf" -draw "rectangle 2,1 64,42" -fill white
    -draw "rectangle 2,6 64,9" -draw "rectangle 2,15 64,18" -draw "rectangle 2,24 64,27"
    -draw "rectangle 2,33 64,36" -fill "#0d5eaf" -draw "rectangle 2,1 25,23" -fill white
    -draw "rectangle 11,1 15,23" -draw "rectangle 2,10 25,14" ${flag_frame})
# White with two blue stripes and a six-pointed star.
set(draw_BM_LANG_HEBREW ${flag_ground} -fill white -draw "rectangle 2,1 64,42" -fill "#0038b8"
    -draw "rectangle 2,5 64,9" -draw "rectangle 2,34 64,38" -fill none -stroke "#0038b8" -strokewidth 2
    -draw "polygon 33,13 40,25 26,25" -draw "polygon 33,29 40,17 26,17" -stroke none ${flag_frame})
# Green, white and red upright bands.
set(draw_BM_LANG_ITALIAN ${flag_ground} -fill "#009246" -draw "rectangle 2,1 22,42" -fill white
    -draw "rectangle 23,1 43,42" -fill "#ce2b37" -draw "rectangle 44,1 64,42" ${flag_frame})
# White with a red disc.
set(draw_BM_LANG_JAPANESE ${flag_ground} -fill white -draw "rectangle 2,1 64,42" -fill "#bc002d"
    -draw "circle 33,21 33,33" ${flag_frame})
# White with a red and blue disc and four black bars.
set(draw_BM_LANG_KOREAN ${flag_ground} -fill white -draw "rectangle 2,1 64,42"
    -fill "#0047a0" -draw "circle 33,21 33,31" -fill "#cd2e3a" -draw "ellipse 33,21 10,10 180,360"
    -draw "circle 28,21 28,26" -fill "#0047a0" -draw "circle 38,21 38,26"
    -fill black -draw "polygon 8,10 15,3 16,4 9,11" -draw "polygon 50,3 57,10 56,11 49,4"
    -draw "polygon 8,32 15,39 16,38 9,31" -draw "polygon 57,32 50,39 49,38 56,31" ${flag_frame})
# White over red.
set(draw_BM_LANG_POLISH ${flag_ground} -fill white -draw "rectangle 2,1 64,21" -fill "#dc143c"
    -draw "rectangle 2,22 64,42" ${flag_frame})
# Green and red with a yellow disc on the border between them.
set(draw_BM_LANG_PORTUGESE ${flag_ground} -fill "#006600" -draw "rectangle 2,1 26,42" -fill "#ff0000"
    -draw "rectangle 27,1 64,42" -fill "#ffcc00" -draw "circle 26,21 26,30" -fill white
    -draw "rectangle 23,16 29,25" ${flag_frame})
# White, blue and red bands.
set(draw_BM_LANG_RUSSIAN ${flag_ground} -fill white -draw "rectangle 2,1 64,14" -fill "#0039a6"
    -draw "rectangle 2,15 64,28" -fill "#d52b1e" -draw "rectangle 2,29 64,42" ${flag_frame})
# Red, a yellow band twice as high, red.
set(draw_BM_LANG_SPANISH ${flag_ground} -fill "#aa151b" -draw "rectangle 2,1 64,42" -fill "#f1bf00"
    -draw "rectangle 2,12 64,31" ${flag_frame})
# Red with a yellow star.
set(draw_BM_LANG_VIETNAMESE ${flag_ground} -fill "#da251d" -draw "rectangle 2,1 64,42" -fill "#ffff00"
    -draw "polygon 33,10 35,18 43,18 37,23 39,30 33,26 27,30 29,23 23,18 31,18" ${flag_frame})
# Red, white and blue bands (no language uses it).
set(draw_BM_LANG_DUTCH ${flag_ground} -fill "#ae1c28" -draw "rectangle 2,1 64,14" -fill white
    -draw "rectangle 2,15 64,28" -fill "#21468b" -draw "rectangle 2,29 64,42" ${flag_frame})

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
