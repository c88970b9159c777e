// Window-description settings that Designer's form format cannot hold as
// ordinary properties. The form stores them as dynamic properties on the
// controls; these functions give them effect after setupUi().
//
//   fontPixelSize (int)   character height in pixels; the form format only
//                         knows whole points, and the layout is in pixels
//   itemHeight (int)      fixed row height of a list box
//   centred (bool)        memo text centred on each line
//   autoSize (bool)       on a label: its width follows its text, whenever
//                         the text changes (a right-justified label keeps
//                         its right edge; an empty one keeps its box)
//   shrinkToFit (bool)    on a label showing a value: the value stays inside
//                         its space (an auto-size label's maximum width, or
//                         a fixed label's width), in a smaller font or, at
//                         the smallest, elided with the whole text as tool tip
#pragma once

class QWidget;

// Applies fontPixelSize, itemHeight and centred to root and every control
// below it, and keeps its auto-size labels fitted to their texts from then on.
void applyFormExtras(QWidget *root);

// Resizes every auto-size label below root to the width of its text,
// keeping its position and height: the first fit, at the described places;
// fits the values that keep inside their space.
// The labels follow later text changes by themselves (applyFormExtras).
void fitAutoSizeLabels(QWidget *root);
