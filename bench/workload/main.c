/* The image's entry from the start-up code: run the passes the results
 * block asks for, leave the checksum and the status there. */
#include "kernels.h"

struct Results {
  uint32_t checksum;
  uint16_t status;
  uint16_t reserved;
  uint32_t passes;
};

/* Placed at WORKLOAD_RESULTS_ADDRESS by the linker scripts. */
volatile struct Results workloadResults __attribute__((section(".results"))) = {0, 0, 0, WORKLOAD_PASSES};

void WorkloadMain(void);

void WorkloadMain(void) {
  uint16_t status;
  const uint32_t checksum = RunWorkload(workloadResults.passes, (uint8_t*)WORKLOAD_FRAME_ADDRESS, &status);
  workloadResults.checksum = checksum;
  workloadResults.status = status;
}
