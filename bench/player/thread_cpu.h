// CPU time of this process's threads, from /proc/self/task, to see where a
// figure's time goes.
#pragma once

#include <map>
#include <string>

struct ThreadCpu {
    std::string m_strName;
    double m_dSeconds = 0; // CPU used so far
};

// Every live thread by its id.
std::map<int, ThreadCpu> ThreadCpuSeconds();

// The CPU each thread used between two snapshots (threads in both), summed
// by the thread's name.
std::map<std::string, double> ThreadCpuUsed(const std::map<int, ThreadCpu>& before,
                                            const std::map<int, ThreadCpu>& after);

// Prints to stderr the CPU per second of wall time of each name, largest first.
void PrintThreadShares(const std::map<std::string, double>& used, double dWallSeconds);
