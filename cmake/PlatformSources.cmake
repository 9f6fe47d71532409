# Platform services whose implementation differs per system, added to the GUI
# library: on Linux notifications go to the desktop over D-Bus.
set(TESSARINE_PLATFORM_DIR ${PROJECT_SOURCE_DIR}/src/platform)
if(WIN32)
    target_sources(tessarine_gui PRIVATE
        ${TESSARINE_PLATFORM_DIR}/win/NullNotifier.cpp ${TESSARINE_PLATFORM_DIR}/win/NullNotifier.h)
else()
    find_package(Qt6 REQUIRED COMPONENTS DBus)
    target_sources(tessarine_gui PRIVATE
        ${TESSARINE_PLATFORM_DIR}/nix/DBusNotifier.cpp ${TESSARINE_PLATFORM_DIR}/nix/DBusNotifier.h)
    target_link_libraries(tessarine_gui PUBLIC Qt6::DBus)
endif()
