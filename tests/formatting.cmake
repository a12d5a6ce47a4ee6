# Formatting engine and commands.
include(formatting/engine.cmake OPTIONAL)
include(formatting/commands.cmake OPTIONAL)
