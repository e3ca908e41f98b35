// Takes the GDT request at the given path as the window's GDT step does: the completeness checks
// with their short wait, the bounded read, the parse. Prints what became of it and the time it
// took; run it under /usr/bin/time -v for the peak memory.
//   request_bench PATH

#include "app/Gdt.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: request_bench PATH\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    GdtRequestFile request;
    try {
        request = ReadGdtRequestFile(argv[1], PauseForRequestWriter);
    } catch (const std::exception& error) {
        std::printf("cannot be read: %s\n", error.what());
        return 1;
    }
    PatientRecord patient;
    std::string senderId;
    const char* outcome = "incomplete: not taken";
    if (request.state == GdtRequestState::TooLarge) {
        outcome = "too large: invalid";
    } else if (request.state == GdtRequestState::Complete) {
        outcome = ParseGdtRequest(request.bytes, patient, senderId) ? "taken" : "invalid";
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s, %zu bytes of request, %.1f ms\n", outcome, request.bytes.size(), ms);
    return 0;
}
