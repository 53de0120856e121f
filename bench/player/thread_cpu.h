// CPU time of this process's threads by name, from /proc/self/task, to see
// where a figure's time goes.
#pragma once

#include <map>
#include <string>

// CPU seconds used so far by each live thread, summed per thread name.
std::map<std::string, double> ThreadCpuSeconds();

// Prints to stderr the CPU per second of wall time of each thread name
// between two snapshots, largest first.
void PrintThreadShares(const std::map<std::string, double>& before,
                       const std::map<std::string, double>& after, double dWallSeconds);
