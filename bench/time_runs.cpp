// time_runs ROUNDS SETTLE_MS exe "command line" [exe "command line" ...]
// Starts each program with its exact command line, one after the other, for
// ROUNDS rounds after one warm-up round that is not counted. A run is timed
// from CreateProcessW until its process handle is signalled; the next run
// starts after a pause of SETTLE_MS. Prints, per program K (numbered from 0):
//   time K median q1 q3 min max              (ms)
//   ratio K J median q1 q3                   (its run / program J's run in the same round, J < K)
//
// Why the handle and the pause: Wine signals the handle once the wineserver has
// seen the child's last thread end, which happens when the unix process closes
// its server connection at exit, after its memory is released; sampled every
// millisecond here, the unix process was gone and the server back to its idle
// ticks within about a millisecond of the signal. A run started straight after
// the previous one ended, though, took 2 to 6 times as long (all of it before
// WinMain, with the wineserver using twice the CPU time), so back-to-back
// figures depend on the order and the length of the runs. After 20 to 50 ms
// of pause the times no longer change. Taking turns spreads drift over all
// programs alike, and per-round ratios cancel most of it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

// Linear interpolation between the closest ranks of a sorted sample.
static double Quantile(const std::vector<double> &sorted, double p)
{
    double rank = p * (sorted.size() - 1);
    size_t below = (size_t)rank;
    if (below + 1 >= sorted.size())
        return sorted.back();
    return sorted[below] + (rank - below) * (sorted[below + 1] - sorted[below]);
}

static void PrintQuartiles(std::vector<double> sample)
{
    std::sort(sample.begin(), sample.end());
    printf(" %.3f %.3f %.3f", Quantile(sample, 0.5), Quantile(sample, 0.25), Quantile(sample, 0.75));
}

// Wall time of one run in ms; *code is its exit code (-1 when it did not start).
static double TimeRun(const wchar_t *exe, const wchar_t *commandLine, double frequency, DWORD *code)
{
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    LARGE_INTEGER start, end;

    QueryPerformanceCounter(&start);
    if (!CreateProcessW(exe, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fwprintf(stderr, L"time_runs: %ls: CreateProcessW error %lu\n", exe, GetLastError());
        *code = (DWORD)-1;
        return 0;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    GetExitCodeProcess(process.hProcess, code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (end.QuadPart - start.QuadPart) * 1000.0 / frequency;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc < 5 || argc % 2 != 1)
        return 2;
    int rounds = _wtoi(argv[1]), settle = _wtoi(argv[2]);
    size_t programs = (argc - 3) / 2;
    std::vector<std::vector<double>> times(programs);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);

    for (int round = -1; round < rounds; ++round) {
        for (size_t k = 0; k < programs; ++k) {
            Sleep(settle);
            DWORD code;
            double ms = TimeRun(argv[3 + 2 * k], argv[4 + 2 * k], (double)frequency.QuadPart, &code);
            if (code != 0) {
                fwprintf(stderr, L"time_runs: %ls: exit code %#lx\n", argv[4 + 2 * k], code);
                return 3;
            }
            if (round >= 0)
                times[k].push_back(ms);
        }
    }
    for (size_t k = 0; k < programs; ++k) {
        auto [fastest, slowest] = std::minmax_element(times[k].begin(), times[k].end());
        printf("time %zu", k);
        PrintQuartiles(times[k]);
        printf(" %.3f %.3f\n", *fastest, *slowest);
        for (size_t j = 0; j < k; ++j) {
            std::vector<double> ratios;
            for (int round = 0; round < rounds; ++round)
                ratios.push_back(times[k][round] / times[j][round]);
            printf("ratio %zu %zu", k, j);
            PrintQuartiles(ratios);
            printf("\n");
        }
    }
    return 0;
}
