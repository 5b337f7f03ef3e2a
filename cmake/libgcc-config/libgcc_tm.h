#include "config/i386/value-unwind.h"
