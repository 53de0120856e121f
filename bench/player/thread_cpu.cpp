#include "thread_cpu.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

std::map<int, ThreadCpu> ThreadCpuSeconds()
{
    std::map<int, ThreadCpu> threads;
    DIR* pDir = opendir("/proc/self/task");
    if (pDir == nullptr)
        return threads;
    while (dirent* pEntry = readdir(pDir)) {
        if (pEntry->d_name[0] == '.')
            continue;
        const std::string strTask = std::string("/proc/self/task/") + pEntry->d_name;
        ThreadCpu thread;
        double dNanoseconds = 0; // the first field: time spent on a CPU
        std::getline(std::ifstream(strTask + "/comm"), thread.m_strName);
        if (std::ifstream(strTask + "/schedstat") >> dNanoseconds) {
            thread.m_dSeconds = dNanoseconds * 1e-9;
            threads[std::atoi(pEntry->d_name)] = thread;
        }
    }
    closedir(pDir);
    return threads;
}

std::map<std::string, double> ThreadCpuUsed(const std::map<int, ThreadCpu>& before,
                                            const std::map<int, ThreadCpu>& after)
{
    std::map<std::string, double> used;
    for (const auto& [nId, thread] : after) {
        const auto it = before.find(nId);
        used[thread.m_strName] +=
            thread.m_dSeconds - (it != before.end() ? it->second.m_dSeconds : 0.0);
    }
    return used;
}

void PrintThreadShares(const std::map<std::string, double>& used, double dWallSeconds)
{
    std::vector<std::pair<double, std::string>> shares;
    for (const auto& [strName, dSeconds] : used)
        if (dSeconds > 0)
            shares.emplace_back(100.0 * dSeconds / dWallSeconds, strName);
    std::sort(shares.rbegin(), shares.rend());
    for (const auto& [dPct, strName] : shares)
        std::fprintf(stderr, "  thread %-20s %.2f %%\n", strName.c_str(), dPct);
}
