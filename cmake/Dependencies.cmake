# Third-party libraries, found once for the whole tree. Every folder links the
# imported targets named here and nothing else.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavcodec libavformat libavutil libswscale libswresample)
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(TIFF REQUIRED)
find_package(ZLIB REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets)

if(TALVERN_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(TALVERN_BENCH)
  find_package(benchmark REQUIRED)
endif()
