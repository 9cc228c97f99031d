/* Basic scalar types of the host effect API.
 *
 * The files in sdk/ are this project's own header layer for the host's published effect interface:
 * written from the interface's public documentation and from what our plug-in needs, with the
 * published names and values so that the bridge code reads like any effect of that interface.
 * They are plain C so that the command-line host, tests and the plug-in share one definition.
 */
#ifndef SEAVAST_SDK_A_H
#define SEAVAST_SDK_A_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int8_t A_char_s;
typedef char A_char;
typedef uint8_t A_u_char;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int64_t A_longlong;
typedef uint64_t A_u_longlong;
typedef uint8_t A_Boolean;
typedef int32_t A_Err;
typedef double A_FpLong;
typedef float A_FpShort;
typedef intptr_t A_intptr_t;

typedef struct {
    A_long value;
    A_u_long scale;
} A_Time;

typedef struct {
    A_long num;
    A_u_long den;
} A_Ratio;

#ifdef __cplusplus
}
#endif

#endif
