# The formatting engine (colouring) and the commands built on it.
include(formatting/engine.cmake OPTIONAL)
include(formatting/commands.cmake OPTIONAL)
include(formatting/typing.cmake OPTIONAL)
