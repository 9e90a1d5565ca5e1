#pragma once

// Waits in 20 ms slices (milliseconds / 20 of them) and lets pending events run after each slice.
void Pause(int milliseconds);
