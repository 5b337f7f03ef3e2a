/* The configuration headers that GCC's own build generates for libgcc, written out for the one
   target the i686 saver is built for (i686-w64-mingw32, DWARF-2 unwinding, the win32 thread
   model) and for the files it rebuilds: unwind-dw2.c, unwind-dw2-fde.c and emutls.c. Built with
   these and the toolchain's own flags, they compile to the very instructions of the installed
   libgcc_eh.a (ctest runtime_486_source). A release compiler keeps its runtime checks. */
#define USED_FOR_TARGET
#define ENABLE_RUNTIME_CHECKING 1
