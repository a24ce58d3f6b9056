/* Bounds of the inline 8-bit coverage counters of the whole program, which
 * the linker sets. Kept in a file built without coverage instrumentation:
 * naming these symbols in an instrumented file keeps the compiler's own
 * registration of the counters with libFuzzer from working. */
#include <stdint.h>

#include "coverage_bounds.h"

extern uint8_t __start___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
extern uint8_t __stop___sancov_cntrs[] __attribute__((weak, visibility("hidden")));

uint8_t* coverageCountersBegin(void)
{
    return __start___sancov_cntrs;
}

uint8_t* coverageCountersEnd(void)
{
    return __stop___sancov_cntrs;
}
