# The formatting engine (colouring) and the commands built on it.
include(formatting/engine.cmake)
include(formatting/commands.cmake)
include(formatting/typing.cmake)
