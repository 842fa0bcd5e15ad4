// The ESC/POS commands drawerd sends to a receipt printer and the bits of
// the printer's answer that it reads: the suite's named sequences.
#pragma once

#include "escpos/escpos.h"

namespace pink::drawerd::escpos {

using pink::escpos::kPrinterStatusQuery;
using pink::escpos::kPulse;
using pink::escpos::kPulsePin2;
using pink::escpos::kPulsePin5;
using pink::escpos::kStatusDrawerPin3;
using pink::escpos::kStatusFixedMask;
using pink::escpos::kStatusFixedValue;
using pink::escpos::kStatusOffline;

}  // namespace pink::drawerd::escpos
