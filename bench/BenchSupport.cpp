#include "BenchSupport.h"

#include <cstring>
#include <fstream>
#include <string>

namespace varnello::bench {

double statusMiB(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::strlen(field))) / 1024.0;
    }
    return -1;
}

} // namespace varnello::bench
