#include "plot/residual_painter.h"
