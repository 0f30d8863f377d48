// Colour from hue, saturation and value, as the colour plots and the slider palette use it.
// Every input gives a colour: the hue wraps, and a non-finite one takes the last sector's start.
#pragma once

// Hue, saturation and value in [0, 1] to red, green and blue in [0, 1] by the six hue
// sectors; the hue wraps (1.25 is 0.25). A NaN or infinite hue gives (v, p, v), the
// last sector at its start, never an undefined conversion.
void HSVToRGB(double h, double s, double v, double* red, double* green, double* blue);
// The same converted in place, (h, s, v) becoming (red, green, blue): the form the
// colour plots call.
void HSVToRGB(double& h, double& s, double& v);
