# talvex-bridge: every amplifier of the given ports on an MQTT broker. Headless:
# QtCore and the bus port of src/link, libmosquitto as the MQTT client.
pkg_check_modules(MOSQUITTO REQUIRED IMPORTED_TARGET libmosquitto)
set(bridge_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(talvex_bridge STATIC
    ${bridge_dir}/mqtt_client.cpp ${bridge_dir}/mqtt_client.h
    ${bridge_dir}/bridge_options.cpp ${bridge_dir}/bridge_options.h
    ${bridge_dir}/amplifier_port.cpp ${bridge_dir}/amplifier_port.h
    ${bridge_dir}/bridge.cpp ${bridge_dir}/bridge.h
)
target_link_libraries(talvex_bridge PUBLIC talvex_bridge_messages talvex_session PkgConfig::MOSQUITTO Qt6::Core
                      Qt6::Network)

add_executable(talvex-bridge ${bridge_dir}/bridge_main.cpp)
target_link_libraries(talvex-bridge PRIVATE talvex_bridge)
