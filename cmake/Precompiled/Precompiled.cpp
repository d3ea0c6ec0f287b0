// The one source of the targets that own the precompiled headers (cmake/Layers.cmake): the header is
// compiled for them, and every other target reuses it.
