/* The one target macro the unwinder reads that GCC does not predefine with -fbuilding-libgcc:
   gcc/defaults.h's value, which the i386 target keeps. */
#define DWARF_REG_TO_UNWIND_COLUMN(REGNO) (REGNO)
