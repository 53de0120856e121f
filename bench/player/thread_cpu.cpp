#include "thread_cpu.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

std::map<std::string, double> ThreadCpuSeconds()
{
    std::map<std::string, double> seconds;
    DIR* pDir = opendir("/proc/self/task");
    if (pDir == nullptr)
        return seconds;
    while (dirent* pEntry = readdir(pDir)) {
        if (pEntry->d_name[0] == '.')
            continue;
        const std::string strTask = std::string("/proc/self/task/") + pEntry->d_name;
        std::string strName;
        double dNanoseconds = 0; // the first field: time spent on a CPU
        std::getline(std::ifstream(strTask + "/comm"), strName);
        if (std::ifstream(strTask + "/schedstat") >> dNanoseconds)
            seconds[strName] += dNanoseconds * 1e-9;
    }
    closedir(pDir);
    return seconds;
}

void PrintThreadShares(const std::map<std::string, double>& before,
                       const std::map<std::string, double>& after, double dWallSeconds)
{
    std::vector<std::pair<double, std::string>> shares;
    for (const auto& [strName, dSeconds] : after) {
        const auto it = before.find(strName);
        const double dUsed = dSeconds - (it != before.end() ? it->second : 0.0);
        if (dUsed > 0)
            shares.emplace_back(100.0 * dUsed / dWallSeconds, strName);
    }
    std::sort(shares.rbegin(), shares.rend());
    for (const auto& [dPct, strName] : shares)
        std::fprintf(stderr, "  thread %-20s %.2f %%\n", strName.c_str(), dPct);
}
