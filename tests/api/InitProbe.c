/* Calls OV_InitializeA once with the ID given as the first argument and exits with its result, so
 * a test can see what a second process gets. Plain C, linked against libovcore.so. */
#include <stdio.h>

#include "ov/ov_api.h"

int main(int argc, char** argv) {
  if (argc < 2) return 255;
  int32_t result = OV_InitializeA(argv[1], 0);
  if (result == OV_OK) result = OV_Finalize() == OV_OK ? OV_OK : 254;
  /* Exit codes carry 8 bits: map the few results the tests look at. */
  switch (result) {
    case OV_OK: return 0;
    case OV_ERR_ALREADY_INITIALIZED: return 100;
    default: return 200;
  }
}
