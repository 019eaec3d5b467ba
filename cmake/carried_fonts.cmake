# The faces both windows carry inside the program, from Debian's
# fonts-comic-neue and fonts-liberation2 on the build machine (outside a cross
# toolchain's root): Comic Neue stands in for "Comic Sans MS", Liberation Sans
# for "MS Sans Serif". Sets ZEPHRAN_FONT_COMIC_BOLD, _COMIC_BOLD_ITALIC,
# _SANS_REGULAR and _SANS_BOLD to their files.
set(ZEPHRAN_FONT_DIRS
  /usr/share/fonts/opentype/comic-neue
  /usr/share/fonts/truetype/liberation2
  /usr/share/fonts/truetype/liberation
)
foreach(face COMIC_BOLD:ComicNeue-Bold.otf COMIC_BOLD_ITALIC:ComicNeue-BoldItalic.otf
             SANS_REGULAR:LiberationSans-Regular.ttf SANS_BOLD:LiberationSans-Bold.ttf)
  string(REPLACE ":" ";" face ${face})
  list(GET face 0 variable)
  list(GET face 1 file)
  find_file(ZEPHRAN_FONT_${variable} ${file} PATHS ${ZEPHRAN_FONT_DIRS} NO_DEFAULT_PATH
            NO_CMAKE_FIND_ROOT_PATH REQUIRED)
endforeach()
