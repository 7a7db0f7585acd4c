# SPDX-License-Identifier: GPL-3.0-or-later
# Of the desktop program's dialogs and view, only the original design's own
# (the settings dialogs, the information panel, their common ground and the
# buffer view) reach the application object. Every window added since takes
# what it uses and signals upward: none of them includes src/app.
# Run as: cmake -DSRC=<source dir> -P include_rule.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed
  dialogs/modeless_dialog.h dialogs/modeless_dialog.cpp
  dialogs/settings_dialogs.h dialogs/settings_dialogs.cpp
  dialogs/info_dlg.h dialogs/info_dlg.cpp
  view/vexowriter_view.h view/vexowriter_view.cpp)
file(GLOB files RELATIVE ${SRC} ${SRC}/dialogs/* ${SRC}/view/*)
set(climbing)
foreach(file IN LISTS files)
  if(file IN_LIST allowed)
    continue()
  endif()
  file(STRINGS ${SRC}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]app/")
  foreach(line IN LISTS lines)
    list(APPEND climbing "${file}: ${line}")
  endforeach()
endforeach()
if(climbing)
  list(JOIN climbing "\n  " text)
  message(FATAL_ERROR "windows that include the application:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "${count} files of src/dialogs and src/view checked")
