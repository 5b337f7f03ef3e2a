#include "engine/color_span.h"
