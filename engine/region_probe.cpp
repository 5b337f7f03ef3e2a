#include "engine/region_probe.h"
