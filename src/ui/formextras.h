// Window-description settings that Designer's form format cannot hold as
// ordinary properties. The form stores them as dynamic properties on the
// controls; these functions give them effect after setupUi().
//
//   fontPixelSize (int)   character height in pixels; the form format only
//                         knows whole points, and the layout is in pixels
//   itemHeight (int)      fixed row height of a list box
//   centred (bool)        memo text centred on each line
//   autoSize (bool)       on a label: its width follows its text
#pragma once

class QWidget;

// Applies fontPixelSize, itemHeight and centred to root and every control
// below it.
void applyFormExtras(QWidget *root);

// Resizes every auto-size label below root to the width of its text,
// keeping its position and height. Call after changing such a label's text.
void fitAutoSizeLabels(QWidget *root);
