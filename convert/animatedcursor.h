#pragma once

#include "conversion.h"

struct OpenInput;

// Animated cursors made of animations, within the converter: what
// conversion.cpp asks of one input already open (animateCursor, of named
// inputs, is in conversion.h).

// How many steps the animation in the input shows: an animated GIF's or
// WebP's frames, an animated cursor's steps, an Xcursor's frames; 1 for any
// other picture, and for one that cannot be read. The input is left where
// it stood.
int animationSteps(OpenInput &input);

// The animated cursor (.ani, or an animated Xcursor with options.xcursor)
// of the one input's frames.
Converted animateInput(const ConversionOptions &options, OpenInput &input);
