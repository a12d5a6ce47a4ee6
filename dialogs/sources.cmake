# Sources of this subsystem (core first, then widgets).
