#pragma once
// spandsp with its state structures visible: the simulator reads a few
// fields (the AT profile of the T.31 modem, the T.30 training-check counters
// and the T.4 bad-row count) that the public API does not reach.

#include <tiffio.h>
#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <spandsp.h>
