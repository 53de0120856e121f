// callreport: what a call received, second by second, from a recording of
// 16 kHz mono 16-bit PCM (callsim's WAV, or raw PCM with --raw).
//   callreport REC.wav --mic HZ --tone HZ [--tone HZ ...] [--label TEXT]
// For each second: the microphone tone's level and which of the files' tones
// was heard, at what level. Exits 0 when every file's tone was heard for at
// least a second, 1 when one was not, 2 on bad input.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 16000;
constexpr double kHeardDb = -40.0; // a tone below this is not there

struct Options {
    std::string strPath;
    std::string strLabel = "the call";
    bool bRaw = false;
    int nMic = 0;
    std::vector<int> tones;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool bHasValue = i + 1 < argc;
        if (arg == "--mic" && bHasValue)
            options.nMic = std::atoi(argv[++i]);
        else if (arg == "--tone" && bHasValue)
            options.tones.push_back(std::atoi(argv[++i]));
        else if (arg == "--label" && bHasValue)
            options.strLabel = argv[++i];
        else if (arg == "--raw")
            options.bRaw = true;
        else if (!arg.empty() && arg[0] != '-' && options.strPath.empty())
            options.strPath = arg;
        else
            return false;
    }
    return !options.strPath.empty() && !options.tones.empty();
}

std::vector<std::int16_t> ReadSamples(const Options& options)
{
    std::ifstream in(options.strPath, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const std::size_t nSkip = options.bRaw ? 0 : 44;
    std::vector<std::int16_t> samples;
    for (std::size_t i = nSkip; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(
            static_cast<std::uint8_t>(bytes[i]) | (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
    return samples;
}

// The level of one frequency over a stretch, in dB of full scale (Goertzel).
double ToneDb(const std::int16_t* pSamples, std::size_t n, int nFreq)
{
    const double dCoeff = 2.0 * std::cos(2.0 * M_PI * nFreq / kRate);
    double s1 = 0, s2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s0 = pSamples[i] + dCoeff * s1 - s2;
        s2 = s1, s1 = s0;
    }
    const double dAmplitude = 2.0 * std::sqrt(std::max(s1 * s1 + s2 * s2 - dCoeff * s1 * s2, 0.0)) /
                              static_cast<double>(n);
    return 20.0 * std::log10(std::max(dAmplitude, 1.0) / 32768.0);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: callreport REC.wav --mic HZ --tone HZ [--tone HZ ...] "
                             "[--label TEXT] [--raw]\n");
        return 2;
    }
    const std::vector<std::int16_t> samples = ReadSamples(options);
    std::vector<int> heardSeconds(options.tones.size(), 0);
    std::printf("What %s received, second by second:\n", options.strLabel.c_str());
    for (std::size_t nAt = 0; nAt + kRate <= samples.size(); nAt += kRate) {
        const double dMic = options.nMic > 0 ? ToneDb(&samples[nAt], kRate, options.nMic) : -99;
        std::size_t nBest = 0;
        double dBest = -99;
        for (std::size_t t = 0; t < options.tones.size(); ++t) {
            const double dDb = ToneDb(&samples[nAt], kRate, options.tones[t]);
            if (dDb > dBest)
                nBest = t, dBest = dDb;
        }
        std::printf("  %3zu s  microphone %s", nAt / kRate, dMic > kHeardDb ? "" : "silent");
        if (dMic > kHeardDb)
            std::printf("%6.1f dBFS", dMic);
        if (dBest > kHeardDb) {
            ++heardSeconds[nBest];
            std::printf("   file %zu (%d Hz) %6.1f dBFS\n", nBest + 1, options.tones[nBest], dBest);
        } else {
            std::printf("   no file\n");
        }
    }
    bool bAll = true;
    for (std::size_t t = 0; t < options.tones.size(); ++t) {
        std::printf("File %zu (%d Hz): heard for %d s\n", t + 1, options.tones[t], heardSeconds[t]);
        bAll = bAll && heardSeconds[t] > 0;
    }
    std::printf("Verdict: %s %s every file\n", options.strLabel.c_str(),
                bAll ? "received" : "did NOT receive");
    return bAll ? 0 : 1;
}
