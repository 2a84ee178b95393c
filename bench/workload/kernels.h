/* The benchmark workload: integer kernels of the kind calculator software
 * runs, built twice from the same C: for the 68000 image that the emulator
 * executes, and for the host, where the suite computes the reference result.
 *
 * Only fixed-width types reach the results, no signed arithmetic overflows,
 * and nothing depends on the host's int, long or pointer sizes, so both
 * builds compute the same checksum and draw the same frame. */
#ifndef PELLUX_BENCH_WORKLOAD_KERNELS_H
#define PELLUX_BENCH_WORKLOAD_KERNELS_H

#ifndef __ASSEMBLER__
#include <stdint.h>
#endif

/* The 240 x 128 one-bit frame the drawing kernel paints: 30 bytes a row,
 * top row first, most significant bit leftmost, 1 = dark. */
#define WORKLOAD_FRAME_WIDTH 240
#define WORKLOAD_FRAME_HEIGHT 128
#define WORKLOAD_FRAME_STRIDE 30
#define WORKLOAD_FRAME_BYTES 3840

/* The status word of a run whose every self-check held. A failed check
 * leaves WORKLOAD_STATUS_FAILED plus the number of the first kernel that
 * failed; the image's exception handler leaves WORKLOAD_STATUS_FAULT plus the
 * vector number. */
#define WORKLOAD_STATUS_OK 0x600D
#define WORKLOAD_STATUS_FAILED 0xBA00
#define WORKLOAD_STATUS_FAULT 0xDE00

/* Where the 68000 image keeps its results and its one input, big-endian,
 * in RAM: the run is sized by the pass count, which a loader of the flat
 * image may patch before reset. */
#define WORKLOAD_RESULTS_ADDRESS 0x400
#define WORKLOAD_CHECKSUM_OFFSET 0 /* long: the checksum of every pass */
#define WORKLOAD_STATUS_OFFSET 4   /* word: see above; 0 until the run ends */
#define WORKLOAD_PASSES_OFFSET 8   /* long: how many passes to run */
/* In the calculator image the results block starts as initialised data,
 * stored right after the vector table and copied to RAM at start: the pass
 * count is at this image offset plus WORKLOAD_PASSES_OFFSET. */
#define WORKLOAD_ROM_RESULTS_OFFSET 0x12104
/* The frame, in calculator RAM where the LCD shows it at start-up. */
#define WORKLOAD_FRAME_ADDRESS 0x4C00

#ifndef __ASSEMBLER__
#ifdef __cplusplus
extern "C" {
#endif

/* Runs the given number of passes over every kernel, drawing into frame,
 * and returns the checksum; *status becomes WORKLOAD_STATUS_OK or
 * WORKLOAD_STATUS_FAILED + the failing kernel. */
uint32_t RunWorkload(uint32_t passes, uint8_t* frame, uint16_t* status);

#ifdef __cplusplus
}
#endif
#endif

#endif
