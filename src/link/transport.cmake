# Sources of talvex_transport (Qt Serial Port, hidapi, udev on Linux).
target_sources(talvex_transport PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/serial_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/byte_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/byte_link.h
    ${CMAKE_CURRENT_LIST_DIR}/serial_byte_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_byte_link.h
    ${CMAKE_CURRENT_LIST_DIR}/tcp_byte_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tcp_byte_link.h
    ${CMAKE_CURRENT_LIST_DIR}/port_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_list.h
    ${CMAKE_CURRENT_LIST_DIR}/bus_port.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bus_port.h
    ${CMAKE_CURRENT_LIST_DIR}/usb_hid_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hidapi_controller.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hid_write_queue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hid_device_lock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/udev_device_monitor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dev_node_monitor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_link.h
    ${CMAKE_CURRENT_LIST_DIR}/hid_controller.h
    ${CMAKE_CURRENT_LIST_DIR}/hidapi_controller.h
    ${CMAKE_CURRENT_LIST_DIR}/hid_write_queue.h
    ${CMAKE_CURRENT_LIST_DIR}/hid_device_lock.h
    ${CMAKE_CURRENT_LIST_DIR}/device_monitor.h
    ${CMAKE_CURRENT_LIST_DIR}/udev_device_monitor.h
    ${CMAKE_CURRENT_LIST_DIR}/dev_node_monitor.h
    ${CMAKE_CURRENT_LIST_DIR}/usb_hid_link.h
    ${CMAKE_CURRENT_LIST_DIR}/transport_router.h
)
# Device arrival and removal on Linux come from udev, so the device lists are
# read only when something changed.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    pkg_check_modules(LIBUDEV REQUIRED IMPORTED_TARGET libudev)
    target_link_libraries(talvex_transport PRIVATE PkgConfig::LIBUDEV)
    target_compile_definitions(talvex_transport PRIVATE TALVEX_HAVE_UDEV)
endif()
