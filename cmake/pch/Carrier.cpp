// Compiles nothing: the target around it exists to build one precompiled header for the others.
