# Writes the MD5 of the update.dll built with this updater as a header: the install run brings the
# installed library to exactly this build. Run at build time: cmake -DLIB=... -DOUT=... -P md5.cmake
file(MD5 "${LIB}" digest)
string(TOLOWER "${digest}" digest)
set(text "// Generated at build time from ${LIB}.\n#pragma once\n#define UPDATE_DLL_MD5_TEXT \"${digest}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE "${OUT}" "${text}")
endif()
