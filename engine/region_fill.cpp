#include "engine/region_fill.h"
