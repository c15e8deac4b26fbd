/* Runs a program and writes its peak resident memory, in KiB, to a file.
   Usage: peak_memory REPORT_FILE PROGRAM [ARGUMENT...]
   A child's peak counts the memory of the process it was started from, so the
   program is started from this small one rather than from the benchmark. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    pid_t child = fork();
    if (child == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return 1;
    FILE* report = fopen(argv[1], "w");
    if (report == NULL || fprintf(report, "%ld\n", usage.ru_maxrss) < 0 || fclose(report) != 0) return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
