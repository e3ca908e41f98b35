#include "bench/common/BenchSupport.h"

#include <cstdlib>
#include <sys/stat.h>

double Ms(BenchClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string MakeBenchHome() {
    char pattern[] = "/tmp/quarn-bench-XXXXXX";
    const std::string root = mkdtemp(pattern);
    const std::string config = root + "/config";
    const std::string runtime = root + "/runtime";
    mkdir(config.c_str(), 0700);
    mkdir(runtime.c_str(), 0700);
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    return root;
}
