/* The interface of the optional diagnostic logging library "libbrisel.so", as the log facade calls
 * it. Two generations exist: the first is handle based, the second passes a per-call context. A
 * logging library exports the names of one or both; logging is on only when it exports
 * brlogInitFunction. This header is plain C so that a logging library can be written against it.
 */
#ifndef OV_BRLOG_ABI_H
#define OV_BRLOG_ABI_H

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One context per logged function call, on the caller's stack. A null result pointer switches
 * logging off for the call. */
typedef struct brlog_Context {
  uint32_t size;     /* structure size/version: always 8 */
  uintptr_t handle;  /* first generation's handle, 0 until opened */
  int32_t* result;   /* the caller's result slot */
} brlog_Context;

/* Kinds of named values. */
enum {
  BRLOG_KIND_NUMBER = 1,  /* int32 shown in decimal */
  BRLOG_KIND_BITMASK = 3, /* int32 shown as a bit mask */
  BRLOG_KIND_NARROW = 8,  /* narrow string: pointer and length in bytes */
  BRLOG_KIND_WIDE = 101   /* wide string: pointer and length in characters */
};

/* Second generation (context based). */
typedef void (*brlogInitFunction_fn)(brlog_Context* ctx, const char* module, const char* function,
                                     int32_t* result, uint32_t flags);
typedef void (*brlogEnterFunction_fn)(brlog_Context* ctx);
typedef void (*brlogLeaveFunction_fn)(brlog_Context* ctx);
typedef void (*brlogOutput_fn)(brlog_Context* ctx, const char* text);
typedef void (*brlogParameter_fn)(brlog_Context* ctx, const char* name, uint32_t kindLow,
                                  uint32_t kindHigh, uint32_t reserved, const void* data,
                                  uint32_t length);

/* First generation (handle based). */
typedef uintptr_t (*brLogEnterFunction_PrepareEx_fn)(uintptr_t reserved, const char* module,
                                                     const char* function, uint32_t flags);
typedef uintptr_t (*brLogEnterFunction_Prepare_fn)(const char* module, const char* function,
                                                   uint32_t flags);
typedef void (*brLogEnterFunction_Execute_fn)(uintptr_t handle);
typedef void (*brLogLeaveFunction_Prepare_fn)(uintptr_t handle, int32_t result);
typedef void (*brLogLeaveFunction_Execute_fn)(uintptr_t handle, int32_t result);
typedef void (*brLogOutput_Prepare_fn)(uintptr_t handle, const char* text);
typedef void (*brLogOutput_Execute_fn)(uintptr_t handle, const char* text);
typedef void (*brLogBuffer_fn)(uintptr_t handle, const char* name, uint32_t kind, const void* data,
                               uint32_t length);
typedef void (*brLogNumber_fn)(uintptr_t handle, const char* name, uint32_t kind, int32_t value);

#ifdef __cplusplus
}
#endif

#endif
