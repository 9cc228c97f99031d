/* The suite broker: the host hands the plug-in one of these in the in-data (pica_basicP); every
 * other function table ("suite") is acquired from it by name and version and released the same way.
 * Part of this project's own header layer for the host effect API (see sdk/A.h).
 */
#ifndef SEAVAST_SDK_SPBASIC_H
#define SEAVAST_SDK_SPBASIC_H

#include "sdk/A.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long SPErr;
typedef A_Boolean SPBoolean;

#define kSPNoError 0
/* Returned by a broker that does not know the requested name or version ('!Sut'). */
#define kSPSuiteNotFoundError ((SPErr)0x21537574)
#define kSPOutOfMemoryError ((SPErr)0x214D656D) /* '!Mem' */

#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 4

typedef struct SPBasicSuite {
    /* On success *suite points to the function table; the caller must release it once. */
    SPErr (*AcquireSuite)(const char* name, A_long version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, A_long version);
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
    SPErr (*Undefined)(void);
} SPBasicSuite;

#ifdef __cplusplus
}
#endif

#endif
