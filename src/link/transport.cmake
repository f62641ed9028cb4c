# Sources of talvex_transport (Qt Serial Port, hidapi).
target_sources(talvex_transport PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/serial_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usb_hid_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hidapi_controller.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hid_write_queue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hid_device_lock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_link.h
    ${CMAKE_CURRENT_LIST_DIR}/hid_controller.h
    ${CMAKE_CURRENT_LIST_DIR}/hidapi_controller.h
    ${CMAKE_CURRENT_LIST_DIR}/hid_write_queue.h
    ${CMAKE_CURRENT_LIST_DIR}/hid_device_lock.h
    ${CMAKE_CURRENT_LIST_DIR}/usb_hid_link.h
    ${CMAKE_CURRENT_LIST_DIR}/transport_router.h
)
