// The analysis written out: for people (every span, break and silence, and a
// second-by-second summary) and for benchmarks ("name: value unit" lines).
#pragma once

#include <cstdio>
#include <string>

#include "tone_frames.h"

namespace callreport {

void PrintReport(std::FILE* pOut, const SAnalysis& analysis, const std::string& strLabel);
void PrintSeconds(std::FILE* pOut, const SAnalysis& analysis);
// strSuffix goes after each figure's name, e.g. "_port".
void PrintFigures(std::FILE* pOut, const SAnalysis& analysis, const std::string& strSuffix);

} // namespace callreport
