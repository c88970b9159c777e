#include "link/mb.h"

TMB::TMB(QWidget *parent) : QGroupBox(parent) {}

TMB::~TMB() = default;
