#include "animation/raster.h"
