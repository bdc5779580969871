# The posix thread model is the one whose libstdc++ has std::thread and std::mutex.
set(CMAKE_C_COMPILER ${TOLVA_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVA_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVA_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOLVA_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
