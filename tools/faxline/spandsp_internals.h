#pragma once
// spandsp with the few internals the modem emulation reads (S-registers, the
// AT interpreter's mode, the HDLC buffers it must guard). Include this
// instead of <spandsp.h> so every file sees the same structures.
#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <cstdint>
#include <tiffio.h>
#include <spandsp.h>
