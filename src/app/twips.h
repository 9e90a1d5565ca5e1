#pragma once

class QPaintDevice;

// 1440 twips make an inch; at 96 dots per inch a pixel is 15 twips.
int twipsToPixels(int twips, const QPaintDevice &device);
