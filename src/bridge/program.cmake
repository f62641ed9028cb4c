# talvex-bridge: every amplifier of the given ports on an MQTT broker. Headless:
# QtCore and the session's bus port, libmosquitto as the MQTT client.
pkg_check_modules(MOSQUITTO REQUIRED IMPORTED_TARGET libmosquitto)
add_library(talvex_bridge STATIC
    ${CMAKE_CURRENT_LIST_DIR}/mqtt_client.cpp ${CMAKE_CURRENT_LIST_DIR}/mqtt_client.h
)
target_link_libraries(talvex_bridge PUBLIC talvex_bridge_messages talvex_session PkgConfig::MOSQUITTO Qt6::Core)
