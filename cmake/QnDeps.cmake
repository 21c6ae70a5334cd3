# Every external dependency is found here, once, so that each subsystem links the same targets.
# Qt 5 modules: Qt5::<Module>. pkg-config libraries: PkgConfig::<NAME> (GLOBAL imported targets).

find_package(Qt5 5.15 REQUIRED COMPONENTS
  Core Gui Widgets Network Test Concurrent DBus WebSockets Qml Quick QuickWidgets Svg Multimedia
  LinguistTools)
find_package(Qt5Keychain REQUIRED)
find_package(Protobuf REQUIRED)
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)

foreach(dep
    "AVCODEC libavcodec" "AVFORMAT libavformat" "AVUTIL libavutil" "SWSCALE libswscale"
    "SWRESAMPLE libswresample" "X264 x264" "OPUS opus" "QRENCODE libqrencode"
    "XCB xcb" "XCB_SHM xcb-shm" "XCB_XFIXES xcb-xfixes" "XCB_XTEST xcb-xtest" "XCB_RANDR xcb-randr" "XCB_DAMAGE xcb-damage"
    "XCB_KEYSYMS xcb-keysyms" "PULSE libpulse" "PULSE_SIMPLE libpulse-simple")
  separate_arguments(pair UNIX_COMMAND "${dep}")
  list(GET pair 0 var)
  list(GET pair 1 module)
  pkg_check_modules(${var} REQUIRED IMPORTED_TARGET GLOBAL ${module})
endforeach()

# libyuv (SIMD colour conversion): Debian's libyuv-dev ships no pkg-config file.
find_path(QN_LIBYUV_INCLUDE_DIR libyuv.h REQUIRED)
find_library(QN_LIBYUV_LIBRARY yuv REQUIRED)
add_library(Qn::yuv UNKNOWN IMPORTED GLOBAL)
set_target_properties(Qn::yuv PROPERTIES IMPORTED_LOCATION "${QN_LIBYUV_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${QN_LIBYUV_INCLUDE_DIR}")
