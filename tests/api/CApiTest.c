/* The public header is C: this file is compiled as C and linked against libovcore.so. */
#include <stdio.h>
#include <string.h>

#include "ov/ov_api.h"

static int failures = 0;

static void expect(int32_t got, int32_t want, const char* what) {
  if (got != want) {
    fprintf(stderr, "%s: got %d, want %d\n", what, (int)got, (int)want);
    ++failures;
  }
}

int main(void) {
  OVTokenInfoA info;
  OVTokenInfoW winfo;
  int32_t count = 0;
  int32_t kind = -1;
  memset(&info, 0, sizeof info);
  memset(&winfo, 0, sizeof winfo);

  expect(OV_ReleaseInstance(), OV_ERR_NOT_INITIALIZED, "OV_ReleaseInstance before init");
  expect(OV_GetEnrollmentFailure(&kind), OV_OK, "OV_GetEnrollmentFailure before init");
  expect(kind, OV_ENROLL_FAILURE_UNKNOWN, "failure kind before any enrollment");
  expect(OV_InitializeA("C test", 1), OV_ERR_INVALID_PARAM, "OV_InitializeA reserved 1");
  expect(OV_InitializeW(L"C test", 0), OV_OK, "OV_InitializeW");
  expect(OV_GetTokenInfoA(&info), OV_ERR_NO_INSTANCE, "OV_GetTokenInfoA");
  expect(OV_FreeTokenListW(&winfo, 1), OV_OK, "OV_FreeTokenListW");
  expect(OV_GetTokenListA(NULL, NULL), OV_ERR_INVALID_PARAM, "OV_GetTokenListA");
  (void)count;
  expect(OV_Finalize(), OV_OK, "OV_Finalize");
  expect(OV_Finalize(), OV_ERR_NOT_INITIALIZED, "OV_Finalize twice");
  printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
