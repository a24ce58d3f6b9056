#ifndef LUMO_COMMON_H
#define LUMO_COMMON_H

#include <cstdint>

typedef char char8;
typedef int16_t int16;
typedef int32_t int32;
typedef uint16_t uint16;
typedef uint32_t uint32;

#endif
