#pragma once

// Resource numbers shared by the resource script and the code that loads them.
#define ZEPHRAN_ICON 1
#define ZEPHRAN_BACKGROUND 101
#define ZEPHRAN_CHECK_OFF 102
#define ZEPHRAN_CHECK_ON 103
#define ZEPHRAN_FONT_COMIC_BOLD 201
#define ZEPHRAN_FONT_COMIC_BOLD_ITALIC 202
#define ZEPHRAN_FONT_SANS_REGULAR 203
#define ZEPHRAN_FONT_SANS_BOLD 204
