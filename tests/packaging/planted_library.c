/* A library planted in the folder a program is started from, under the name of one the program
   loads: when the loader takes it, it leaves a file named "planted-library-loaded" there. */
#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void MarkLoaded(void) {
  int fd = open("planted-library-loaded", O_WRONLY | O_CREAT, 0600);
  if (fd >= 0) close(fd);
}
