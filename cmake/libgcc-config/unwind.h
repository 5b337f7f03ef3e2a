#include "unwind-generic.h"
