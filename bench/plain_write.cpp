// Writes n bytes to a file in 64 KiB pieces: what a conversion of n bytes is
// measured against.
//   plain_write n file
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  long long left = std::atoll(argv[1]);
  std::vector<char> piece(65536, 16);
  int fd = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0660);
  for (; left > 0; left -= 65536) {
    const size_t n = left < 65536 ? static_cast<size_t>(left) : 65536;
    if (write(fd, piece.data(), n) != static_cast<ssize_t>(n)) return 1;
  }
  return close(fd) == 0 ? 0 : 1;
}
