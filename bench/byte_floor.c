/* The floor a font reader is measured against: the file read one byte at a time through an
 * 8192-byte buffer, as a reading stream does, with a checksum so the loop is not optimised away. */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: byte_floor file\n");
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    unsigned char buffer[8192];
    unsigned long sum = 0;
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t i = 0; i < got; ++i) sum = sum * 31 + buffer[i];
    }
    close(fd);
    return sum == 1 ? 3 : 0;
}
