#ifndef COVERAGE_BOUNDS_H
#define COVERAGE_BOUNDS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Null when the program has no inline 8-bit counters. */
uint8_t* coverageCountersBegin(void);
uint8_t* coverageCountersEnd(void);

#ifdef __cplusplus
}
#endif

#endif
