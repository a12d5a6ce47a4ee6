# Formatting engine and commands.
include(formatting/engine.cmake)
include(formatting/commands.cmake)
