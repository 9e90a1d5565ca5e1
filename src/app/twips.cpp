#include "twips.h"

#include <QPaintDevice>

#include <cmath>

int twipsToPixels(int twips, const QPaintDevice &device)
{
    return int(std::lround(double(twips) * device.logicalDpiX() / 1440.0));
}
