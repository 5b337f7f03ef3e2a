// Keeps a library target valid while its seam bindings are still to come.
