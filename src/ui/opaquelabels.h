// Labels that fill their own background, so that a new text repaints the
// label alone.
//
// A label is transparent: every change of its text makes Qt repaint, beneath
// it, each parent up to the window (group box frames and titles, the page,
// the tab frame, the window's background). Values that change with every
// reply made this most of the window's work. A label that lies on a flat
// colour can fill that colour itself and tell Qt it is opaque: the look is
// the same, pixel for pixel, and its parents are left alone.
//
// The colour is not guessed from the style: it is read from a rendering of
// the window at the label's place, with the label itself left out, after
// the label is shown and again whenever something that could change it
// changes (the label's place or size, palette, font, style, enabled state,
// its parent's size). A label whose place is not one flat colour (a frame
// line, a picture, a bar beneath it, another control overlapping it) stays
// transparent. Text labels may share a few rows: the one stacked above then
// paints the other's text there again over its fill (where that text can
// reach those rows at all), so both can fill.
#pragma once

class QWidget;

// Lets every text label below root fill its own background where it can.
void applyOpaqueLabels(QWidget *root);

// Undoes applyOpaqueLabels: every label below root is transparent again.
// For comparing the window's look with and without the filling.
void removeOpaqueLabels(QWidget *root);

// How many labels below root fill their own background at present.
int opaqueLabelCount(const QWidget *root);
