# Sources of talvex_transport (Qt Serial Port, hidapi).
target_sources(talvex_transport PRIVATE
)
